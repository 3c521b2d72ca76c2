#pragma once
// A screen that steps one stored value with LEFT and RIGHT and shows it as a
// text (component 11) and a row of dots, one per value (components 100...).
// The value is read and stored through the two functions given (a screen that
// keeps the value itself overrides Value and Store); the steps wrap around.

#include "dashrec/menus/SettingsWindow.h"

#include <vector>

namespace vk {

class OptionScreen : public SettingsWindow {
public:
    static const int ID_VALUE = 11;
    static const int ID_DOT = 100;

    struct Option {
        const char* valueName;      // leads the value in the log ("[CDisplay]clock:%d")
        std::vector<STR::ID> texts; // the text of each value
        int (*get)();
        void (*set)(int value);
        int dots;                   // 0: one per value
    };

    OptionScreen(WND::ID wnd, const char* name, Option option);

    void UpdateString();

protected:
    virtual int Value() { return _option.get(); }
    virtual void Store(int value) { _option.set(value); }
    // The value after LEFT (-1) or RIGHT (+1).
    virtual int Step(int value, int delta);
    // The dot lit for a value.
    virtual int DotOf(int value) { return value; }
    // The text shown for a value.
    virtual STR::ID TextOf(int value) { return _option.texts[value]; }

    bool OnItem(STR::ID item) override;
    void Refresh() override { UpdateString(); }

private:
    Option _option;
};

} // namespace vk
