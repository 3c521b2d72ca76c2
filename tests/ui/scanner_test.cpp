// The screen-file scanner and the objects built from it, from small screen texts.

#include "DeathToStderr.h"

#include "dashrec/ui/ScreenScanner.h"
#include "dashrec/ui/UIScript.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SDL_Surface gImageA;
SDL_Surface gImageB;
std::string gLastImageName;

ImgData* FakeImages(const char* name)
{
    gLastImageName = name;
    return std::string(name) == "b.png" ? &gImageB : &gImageA;
}

class ParsedScreens {
public:
    explicit ParsedScreens(const std::string& text) { ui_parse_text(text.data(), text.size(), states, FakeImages); }
    ~ParsedScreens() { ui_destroy_list(states); }

    obj_common* Object(int state, int id)
    {
        auto st = states.find(state);
        if (st == states.end())
            return nullptr;
        auto obj = st->second->object_map.find(id);
        return obj == st->second->object_map.end() ? nullptr : obj->second;
    }

    template <typename T> T* As(int state, int id)
    {
        obj_common* obj = Object(state, id);
        EXPECT_NE(obj, nullptr) << "state " << state << " id " << id;
        return static_cast<T*>(obj);
    }

    state_map_t states;
};

std::string State(int id, const std::string& children)
{
    return "<state id=\"" + std::to_string(id) + "\" x=\"0\" y=\"0\" w=\"480\" h=\"320\">\n" + children + "\n</state>\n";
}

TEST(ScreenScanner, AlignmentLetters)
{
    struct Case {
        const char* letters;
        bool buttonText;
        unsigned expected;
    } cases[] = {
        { "cm", false, 0x2200 },
        { "CM", false, 0x2200 },
        { "lt", false, 0x1100 },
        { "Rb", false, 0x4400 },
        { "c-m x", false, 0x2200 },
        { "rz", false, 0x400 },
        { "RZ", true, 0x8000 },
        { "ZR", true, 0x8400 },
        { "CZm", true, 0xA000 },
        { "", true, 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui_align_from_letters(c.letters, c.buttonText), c.expected) << c.letters;

    ParsedScreens screens(State(1,
        "<text id=\"1\" align=\"cm\"></text>"
        "<button id=\"2\" text_align=\"RZ\"></button>"
        "<button id=\"3\" text_align=\"ZR\"></button>"));
    EXPECT_EQ(screens.As<obj_text>(1, 1)->align, 0x2200u);
    EXPECT_EQ(screens.As<obj_button>(1, 2)->text_align, 0x8000u);
    EXPECT_EQ(screens.As<obj_button>(1, 3)->text_align, 0x8400u);
}

TEST(ScreenScanner, TextPositionFromFirstLetter)
{
    struct Case {
        const char* value;
        unsigned char expected;
    } cases[] = {
        { "right", 1 }, { "Top", 2 }, { "b", 3 }, { "L", 5 }, { "centre", 4 }, { "x", 4 }, { "", 4 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui_text_pos_from_letter(c.value), c.expected) << c.value;
}

TEST(ScreenScanner, AttributesOfEveryKind)
{
    ParsedScreens screens(
        "<state id=\"7\" x=\"1\" y=\"2\" w=\"300\" h=\"200\" img=\"b.png\" bg_color=\"0x102030\" other=\"9\">\n"
        "<rect id=\"1\" x=\"-5\" y=\"6\" w=\"7\" h=\"8\" color=\"FF0000\" thick=\"3\" fill=\"1\"></rect>\n"
        "<image id=\"2\" img=\"a.png\" show=\"0\"></image>\n"
        "<text id=\"3\" text_id=\"63\" font=\"26\" color=\"00ff00\" focusable=\"0\"></text>\n"
        "<button id=\"4\" text_id=\"64\" font=\"30\" checked=\"1\" transparent=\"1\" img=\"a.png\" img_f=\"b.png\""
        " img_c=\"a.png\" color=\"123456\" color_f=\"abcdef\" tx=\"1\" ty=\"2\" tw=\"3\" th=\"4\" text_pos=\"top\" enable=\"1\"></button>\n"
        "<button id=\"5\" enable=\"0\"></button>\n"
        "<list id=\"6\" item_height=\"40\" items_per_page=\"5\" spacing=\"2\" img=\"a.png\" img_f=\"b.png\""
        " color=\"1\" color_f=\"2\" bg_color=\"3\" bar_color=\"4\"></list>\n"
        "</state>");
    state_struct* state = screens.states.at(7);
    EXPECT_EQ(state->area.x, 1);
    EXPECT_EQ(state->area.h, 200);
    EXPECT_EQ(state->image, &gImageB);
    EXPECT_EQ(state->bg_color, 0x102030u);

    obj_rect* rect = screens.As<obj_rect>(7, 1);
    EXPECT_EQ(rect->obj_type, obj_common::RECT);
    EXPECT_EQ(rect->area.x, -5);
    EXPECT_EQ(rect->area.w, 7);
    EXPECT_EQ(rect->color, 0xFF0000u);
    EXPECT_EQ(rect->thick, 3u);
    EXPECT_TRUE(rect->fill);
    EXPECT_EQ(rect->parent, state);

    obj_image* image = screens.As<obj_image>(7, 2);
    EXPECT_EQ(image->image, &gImageA);
    EXPECT_FALSE(image->IsShown());

    obj_text* text = screens.As<obj_text>(7, 3);
    EXPECT_EQ(text->text_id, 63);
    EXPECT_EQ(text->font_size, 26);
    EXPECT_EQ(text->color, 0x00FF00u);
    EXPECT_FALSE(text->focusable);
    EXPECT_EQ(text->align, 0u);

    obj_button* button = screens.As<obj_button>(7, 4);
    EXPECT_EQ(button->status, obj_common::NORMAL);
    EXPECT_EQ(button->text_id, 64);
    EXPECT_EQ(button->font_size, 30);
    EXPECT_TRUE(button->checked);
    EXPECT_TRUE(button->transparent);
    EXPECT_EQ(button->image_normal, &gImageA);
    EXPECT_EQ(button->image_focus, &gImageB);
    EXPECT_EQ(button->image_checked, &gImageA);
    EXPECT_EQ(button->color_normal, 0x123456u);
    EXPECT_EQ(button->color_focus, 0xABCDEFu);
    EXPECT_EQ(button->text_rect.x, 1);
    EXPECT_EQ(button->text_rect.h, 4);
    EXPECT_EQ(button->text_pos, obj_button::POS_TOP);

    obj_button* defaults = screens.As<obj_button>(7, 5);
    EXPECT_EQ(defaults->status, obj_common::DISABLED);
    EXPECT_EQ(defaults->font_size, 45);
    EXPECT_EQ(defaults->text_id, -1);
    EXPECT_EQ(defaults->color_normal, 0xFFFFFFu);
    EXPECT_EQ(defaults->color_focus, 0xFFFFFFFFu);
    EXPECT_EQ(defaults->text_pos, obj_button::POS_CENTRE);
    EXPECT_EQ(defaults->image_normal, nullptr);

    obj_list* list = screens.As<obj_list>(7, 6);
    EXPECT_EQ(list->item_height, 40);
    EXPECT_EQ(list->item_count_per_page, 5);
    EXPECT_EQ(list->spacing, 2);
    EXPECT_EQ(list->image_focus, &gImageB);
    EXPECT_EQ(list->bar_color, 4u);
    EXPECT_EQ(list->font_size, 16);
}

TEST(ScreenScanner, CommentsAndTextOutsideStatesAreSkipped)
{
    ParsedScreens screens(
        "<?xml version=\"1.0\"?><rect id=\"99\"></rect> <!-- screens -->\n"
        + State(1,
            "<!-- <rect id=\"8\"></rect> a > b -- > c -->\n"
            "<rect id=\"2\"></rect>\n"
            "<!--\n<text id=\"9\"></text>\n-->"
            "<text id=\"3\"></text>")
        + "</screens>");
    ASSERT_EQ(screens.states.size(), 1u);
    EXPECT_EQ(screens.states.at(1)->object_map.size(), 2u);
    EXPECT_NE(screens.Object(1, 2), nullptr);
    EXPECT_NE(screens.Object(1, 3), nullptr);
}

TEST(ScreenScanner, ClosingTagIsSkippedByItsLengthUnread)
{
    ParsedScreens screens(State(1,
        "<rect id=\"1\"></XXXX> <button id=\"2\">\n  </XXXXXX><image id=\"3\" img=\"a.png\"></XXXXX>"
        "<list id=\"4\"></XXXX><text id=\"5\"></XXXX>"
        "<foo id=\"6\"></foo><rect id=\"7\"></rect>"));
    ASSERT_EQ(screens.states.size(), 1u);
    std::vector<int> ids;
    for (auto& entry : screens.states.at(1)->object_map)
        ids.push_back(entry.first);
    EXPECT_EQ(ids, (std::vector<int> { 1, 2, 3, 4, 5, 7 }));
}

TEST(ScreenScanner, IncompleteStatesAreDropped)
{
    struct Case {
        const char* tail;
        size_t states;
    } cases[] = {
        { "<state id=\"2\" x=\"0", 1 },
        { "<state id=\"2\">", 1 },
        { "<state id=\"2\"><rect id=\"1\"></rect>", 1 },
        { "<state id=\"2\"><rect id=\"1\" x=\"3\"", 1 },
        { "<state id=\"2\"><!-- never closed", 1 },
        { "<state id=\"2\"></state>", 2 },
        { "<state id=\"2\" >\n\t</state>", 2 },
    };
    for (const Case& c : cases) {
        ParsedScreens screens(State(1, "<rect id=\"1\"></rect>") + c.tail);
        EXPECT_EQ(screens.states.size(), c.states) << c.tail;
        EXPECT_NE(screens.Object(1, 1), nullptr);
    }
}

TEST(ScreenScanner, ValuesAndNamesAtTheirLengthLimits)
{
    const std::string value255(255, 'v');
    const std::string value99(99, 's');
    const std::string name31(31, 'n');
    const std::string name14(14, 'm');
    std::string text = "<state " + name14 + "x=\"1\" id=\"" + value99 + "z\" img=\"" + value99 + "z\">"
        "<button " + name31 + "y=\"1\" img=\"" + value255 + "z\"></button></state>";
    std::vector<vk::ScannedState> scanned = vk::ScanScreens(text.data(), text.size());
    ASSERT_EQ(scanned.size(), 1u);
    ASSERT_EQ(scanned[0].attrs.size(), 3u);
    EXPECT_EQ(scanned[0].attrs[0].name, name14);
    EXPECT_EQ(scanned[0].attrs[2].value, value99);
    ASSERT_EQ(scanned[0].elements.size(), 1u);
    ASSERT_EQ(scanned[0].elements[0].attrs.size(), 2u);
    EXPECT_EQ(scanned[0].elements[0].attrs[0].name, name31);
    EXPECT_EQ(scanned[0].elements[0].attrs[1].value, value255);

    ParsedScreens screens("<state id=\"1\" img=\"" + value99 + "\"><image id=\"1\" img=\"" + value255 + "\"></image></state>");
    EXPECT_EQ(gLastImageName, value255);
    ParsedScreens cut("<state id=\"1\" img=\"" + value99 + "\"></state>");
    EXPECT_EQ(gLastImageName, value99);
}

TEST(ScreenScanner, EnableZeroDisablesAndOtherValuesLeaveNormal)
{
    ParsedScreens screens(State(1,
        "<button id=\"1\" enable=\"0\"></button><button id=\"2\" enable=\"1\"></button>"
        "<button id=\"3\" enable=\"7\"></button>"));
    EXPECT_EQ(screens.As<obj_button>(1, 1)->status, obj_common::DISABLED);
    EXPECT_EQ(screens.As<obj_button>(1, 2)->status, obj_common::NORMAL);
    EXPECT_EQ(screens.As<obj_button>(1, 3)->status, obj_common::NORMAL);
}

TEST(ScreenScanner, SameObjectIdInTwoStatesIsAllowed)
{
    ParsedScreens screens(State(1, "<rect id=\"4\"></rect>") + State(2, "<text id=\"4\"></text>"));
    EXPECT_EQ(screens.As<obj_common>(1, 4)->obj_type, obj_common::RECT);
    EXPECT_EQ(screens.As<obj_common>(2, 4)->obj_type, obj_common::TEXT);
}

TEST(ScreenScannerDeathTest, DuplicateObjectIdEndsTheProgram)
{
    EXPECT_ASSERTION(ParsedScreens(State(3, "<rect id=\"7\"></rect><text id=\"7\"></text>")),
        "obj id:7 is overlapped in state 3.*_ASSERT\\[UIScript.cpp:[0-9]+\\]expr:ret.second == true && \"insert\\(\\) failure\"");
}

TEST(ScreenScannerDeathTest, DuplicateStateIdEndsTheProgram)
{
    EXPECT_ASSERTION(ParsedScreens(State(3, "") + State(3, "")), "state id\\[3\\] 중복됨");
}

TEST(ScreenScanner, MissingFileLeavesNoStates)
{
    state_map_t states;
    ui_parse("/nonexistent/_menu.xml", states);
    EXPECT_TRUE(states.empty());
}

} // namespace
