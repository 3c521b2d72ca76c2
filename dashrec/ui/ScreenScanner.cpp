#include "dashrec/ui/ScreenScanner.h"

#include <cstring>

namespace vk {

namespace {

struct ElementKind {
    const char* name;
    size_t closingTagLength; // skipped unread behind the opening tag
};

const ElementKind ELEMENT_KINDS[] = {
    { "rect", 7 },
    { "text", 7 },
    { "button", 9 },
    { "list", 7 },
    { "image", 8 },
};

const char* const STATE_OPEN = "<state ";
const char* const STATE_CLOSE = "</state>";
const char* const COMMENT_OPEN = "!--";
const char* const COMMENT_CLOSE = "-->";

bool IsSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// A position in the loaded text that never moves past its end.
class Cursor {
public:
    Cursor(const char* text, size_t size) : _p(text), _end(text + size) {}

    bool AtEnd() const { return _p >= _end; }
    char Current() const { return *_p; }
    void Advance(size_t n) { _p += n < Left() ? n : Left(); }

    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(*_p))
            ++_p;
    }

    bool StartsWith(const char* s) const
    {
        size_t n = std::strlen(s);
        return n <= Left() && std::memcmp(_p, s, n) == 0;
    }

    // Moves to the next occurrence of s; false (and no move) when there is none.
    bool Find(const char* s)
    {
        size_t n = std::strlen(s);
        for (const char* q = _p; static_cast<size_t>(_end - q) >= n; ++q) {
            if (std::memcmp(q, s, n) == 0) {
                _p = q;
                return true;
            }
        }
        return false;
    }

    bool FindChar(char c) { return FindIf([c](char x) { return x == c; }); }
    bool FindSpace() { return FindIf(IsSpace); }

    // The text from here up to `to`, cut to `max` characters.
    std::string Until(const char* to, size_t max) const
    {
        size_t n = static_cast<size_t>(to - _p);
        return std::string(_p, n < max ? n : max);
    }

    const char* Position() const { return _p; }

private:
    size_t Left() const { return static_cast<size_t>(_end - _p); }

    template <typename Pred> bool FindIf(Pred pred)
    {
        for (const char* q = _p; q < _end; ++q) {
            if (pred(*q)) {
                _p = q;
                return true;
            }
        }
        return false;
    }

    const char* _p;
    const char* _end;
};

// name="value" pairs up to and over the closing '>'; false when the text ends first.
bool ScanAttributes(Cursor& c, size_t nameMax, size_t valueMax, std::vector<ScannedAttr>& out)
{
    for (;;) {
        c.SkipSpace();
        if (c.AtEnd())
            return false;
        if (c.Current() == '>') {
            c.Advance(1);
            return true;
        }
        Cursor nameStart = c;
        if (!c.FindChar('='))
            return false;
        ScannedAttr attr;
        attr.name = nameStart.Until(c.Position(), nameMax);
        if (!c.FindChar('"'))
            return false;
        c.Advance(1);
        Cursor valueStart = c;
        if (!c.FindChar('"'))
            return false;
        attr.value = valueStart.Until(c.Position(), valueMax);
        c.Advance(1);
        out.push_back(attr);
    }
}

const ElementKind* FindKind(const std::string& name)
{
    for (const ElementKind& kind : ELEMENT_KINDS)
        if (name == kind.name)
            return &kind;
    return nullptr;
}

enum class Step { NEXT, STATE_END, TEXT_END };

// One child of a state: an element, a comment or something skipped.
Step ScanChild(Cursor& c, ScannedState& state)
{
    c.SkipSpace();
    if (c.StartsWith(STATE_CLOSE)) {
        c.Advance(std::strlen(STATE_CLOSE));
        return Step::STATE_END;
    }
    if (!c.FindChar('<'))
        return Step::TEXT_END;
    Cursor tagStart = c;
    c.Advance(1);
    Cursor nameStart = c;
    if (!c.FindSpace())
        return Step::TEXT_END;
    ScannedElement element;
    element.name = nameStart.Until(c.Position(), ELEMENT_NAME_MAX);
    c.Advance(1);
    if (element.name == COMMENT_OPEN) {
        if (!c.Find(COMMENT_CLOSE))
            return Step::TEXT_END;
        c.Advance(std::strlen(COMMENT_CLOSE));
        return Step::NEXT;
    }
    const ElementKind* kind = FindKind(element.name);
    if (kind == nullptr) {
        // Not one of ours (a closing tag out of place, a misspelt name): step over its tag.
        c = tagStart;
        if (!c.FindChar('>'))
            return Step::TEXT_END;
        c.Advance(1);
        return Step::NEXT;
    }
    if (!ScanAttributes(c, ELEMENT_ATTR_NAME_MAX, ELEMENT_ATTR_VALUE_MAX, element.attrs))
        return Step::TEXT_END;
    c.SkipSpace();
    c.Advance(kind->closingTagLength);
    state.elements.push_back(std::move(element));
    return Step::NEXT;
}

} // namespace

std::vector<ScannedState> ScanScreens(const char* text, size_t size)
{
    std::vector<ScannedState> states;
    Cursor c(text, size);
    while (c.Find(STATE_OPEN)) {
        c.Advance(std::strlen(STATE_OPEN));
        ScannedState state;
        if (!ScanAttributes(c, STATE_ATTR_NAME_MAX, STATE_ATTR_VALUE_MAX, state.attrs))
            break;
        Step step = Step::NEXT;
        while (step == Step::NEXT)
            step = ScanChild(c, state);
        if (step == Step::TEXT_END)
            break;
        states.push_back(std::move(state));
    }
    return states;
}

} // namespace vk
