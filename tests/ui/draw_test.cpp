// Drawing the display-check screen headless, read back from the LCD screenshot.

#include "DeathToStderr.h"
#include "UiTestSupport.h"

#include "dashrec/core/Pref.h"
#include "dashrec/ui/StrId.h"
#include "dashrec/ui/UIScript.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using uitest::Screenshot;

const int DISPLAY_CHECK = 9901;
const unsigned RED = 0xFF0000;
const unsigned BLUE = 0x0000FF;
const unsigned BUTTON_FILL = 0x2A3A56;
const unsigned FOCUS_FILL = 0x3A7BD5;
const unsigned CHECK_GREEN = 0x2EAA4F;

class DisplayCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::UseBuildResources();
        vk::Singleton<vk::Pref>::Inst()->SetLanguage(vk::SYSTEM::LANGUAGE::KOREAN);
        res = vk::Resource::Inst();
        res->Init(LCD_WIDTH, LCD_HEIGHT, true);
        res->SetPage(DISPLAY_CHECK);
        background = IMG_Load("rsc/images/4870_bg_menu.png");
        ASSERT_NE(background, nullptr);
    }

    void TearDown() override
    {
        SDL_FreeSurface(background);
        res->Finalize();
    }

    unsigned Background(int x, int y) const { return uitest::PixelAt(background, x, y); }

    // Columns and rows where the picture differs from the background image.
    SDL_Rect Ink(const Screenshot& shot, const SDL_Rect& box) const
    {
        int x0 = box.x + box.w, x1 = -1, y0 = box.y + box.h, y1 = -1;
        for (int y = box.y; y < box.y + box.h; ++y) {
            for (int x = box.x; x < box.x + box.w; ++x) {
                if (shot.At(x, y) == Background(x, y))
                    continue;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
        if (x1 < 0)
            return SDL_Rect { 0, 0, 0, 0 };
        return SDL_Rect { static_cast<Sint16>(x0), static_cast<Sint16>(y0), static_cast<Uint16>(x1 - x0 + 1),
            static_cast<Uint16>(y1 - y0 + 1) };
    }

    vk::Resource* res = nullptr;
    SDL_Surface* background = nullptr;
};

TEST_F(DisplayCheck, ObjectsDrawByTheirRules)
{
    res->Draw(false);
    Screenshot shot("display_check");
    ASSERT_EQ(shot.surface->w, LCD_WIDTH);
    ASSERT_EQ(shot.surface->h, LCD_HEIGHT);

    struct Probe {
        const char* what;
        int x, y;
        unsigned expected; // 0xFFFFFFFF: the background image's own pixel
    } probes[] = {
        { "filled rect", 30, 80, RED },
        { "unfilled rect draws nothing", 80, 80, 0xFFFFFFFF },
        { "disabled rect", 130, 80, 0xFFFFFFFF },
        { "button without images fills its colour", 180, 80, BLUE },
        { "transparent button", 230, 80, 0xFFFFFFFF },
        { "hidden button", 280, 80, 0xFFFFFFFF },
        { "normal image of an unfocused button", 50, 140, BUTTON_FILL },
        { "focus-only button shows the background", 60, 210, 0xFFFFFFFF },
        { "image object", 440, 66, CHECK_GREEN },
        { "list draws nothing", 5, 255, 0xFFFFFFFF },
    };
    for (const Probe& p : probes) {
        unsigned expected = p.expected == 0xFFFFFFFF ? Background(p.x, p.y) : p.expected;
        EXPECT_EQ(shot.At(p.x, p.y), expected) << p.what << " at " << p.x << "," << p.y;
    }
    // The focus-only button with text_align Z draws no text over the background.
    SDL_Rect noText = Ink(shot, SDL_Rect { 40, 180, 400, 60 });
    EXPECT_EQ(noText.w, 0);
}

TEST_F(DisplayCheck, FocusedButtonsShowTheirFocusImageAndNoZText)
{
    static_cast<obj_button*>(res->GetComponent(4))->SetFocus();
    static_cast<obj_button*>(res->GetComponent(7))->SetFocus();
    res->Draw(false);
    Screenshot shot("display_check_focus");
    EXPECT_EQ(shot.At(50, 140), FOCUS_FILL);
    for (int x = 50; x < 430; ++x)
        ASSERT_EQ(shot.At(x, 210), FOCUS_FILL) << "text drawn on a Z button at x " << x;
}

TEST_F(DisplayCheck, TextIsCentredInItsBoxAtTheChosenFontSize)
{
    res->Draw(false);
    Screenshot shot("display_check_text");
    // Text id 63 at requested size 25 is drawn with the 26-point Korean font.
    TTF_Font* font = res->GetHandle()->font26[vk::SYSTEM::LANGUAGE::KOREAN];
    ASSERT_EQ(get_menu_font(25), font);
    int tw = 0, th = 0;
    ASSERT_EQ(TTF_SizeUTF8(font, res->GetString(vk::STR::OK), &tw, &th), 0);
    SDL_Rect ink = Ink(shot, SDL_Rect { 0, 250, 480, 60 });
    const int left = (480 - tw) / 2;
    const int top = 250 + (60 - th) / 2;
    EXPECT_GE(ink.x, left);
    EXPECT_LE(ink.x + ink.w, left + tw);
    EXPECT_GE(ink.y, top);
    EXPECT_LE(ink.y + ink.h, top + th);
    // A smaller font would leave a narrower mark.
    EXPECT_GE(ink.w, tw * 85 / 100);
    EXPECT_GE(ink.h, th / 2);
}

TEST_F(DisplayCheck, FontTableBySize)
{
    ui_handle_t* h = res->GetHandle();
    const int lang = vk::SYSTEM::LANGUAGE::KOREAN;
    struct Case {
        int size;
        TTF_Font* expected;
    } cases[] = {
        { 0, h->font12[lang] }, { 12, h->font12[lang] }, { 13, h->font14[lang] }, { 24, h->font24[lang] },
        { 25, h->font26[lang] }, { 34, h->font34[lang] }, { 35, h->font37 }, { 37, h->font37 },
        { 38, h->font43 }, { 43, h->font43 }, { 44, h->font50 }, { 50, h->font50 }, { 51, h->font75 },
        { 75, h->font75 }, { 76, h->BigFont }, { 200, h->BigFont },
    };
    for (const Case& c : cases)
        EXPECT_EQ(get_menu_font(c.size), c.expected) << c.size;
    EXPECT_EQ(get_SDL_Font(30), h->font30[0]);
    EXPECT_EQ(get_menu_font(30, 1), h->font30[1]);
}

TEST_F(DisplayCheck, RotatedFrameBufferTurnsBackToTheWindow)
{
    res->Draw(false);
    ui_handle_t* h = res->GetHandle();
    ASSERT_NE(h->fb, nullptr);
    ASSERT_EQ(h->fb->w, LCD_HEIGHT);
    ASSERT_EQ(h->fb->h, LCD_WIDTH);
    const Uint32* window = static_cast<const Uint32*>(h->window->pixels);
    const Uint32* fb = static_cast<const Uint32*>(h->fb->pixels);
    for (int r = 0; r < LCD_HEIGHT; ++r)
        for (int c = 0; c < LCD_WIDTH; ++c)
            ASSERT_EQ(fb[c * LCD_HEIGHT + (LCD_HEIGHT - 1 - r)], window[r * LCD_WIDTH + c]) << r << "," << c;
    Screenshot shot("display_check_upright");
    for (int r = 0; r < LCD_HEIGHT; r += 7)
        for (int c = 0; c < LCD_WIDTH; c += 5)
            ASSERT_EQ(shot.At(c, r), uitest::PixelAt(h->window, c, r)) << r << "," << c;
}

TEST(Rotate90Pixels, QuarterTurnClockwise)
{
    // 3 x 2:  a b c      turned:  d a
    //         d e f               e b
    //                             f c
    const uint32_t src[] = { 'a', 'b', 'c', 'd', 'e', 'f' };
    uint32_t dst[6] = {};
    Rotate90Pixels(src, dst, 3, 2);
    const uint32_t expected[] = { 'd', 'a', 'e', 'b', 'f', 'c' };
    EXPECT_TRUE(std::equal(dst, dst + 6, expected));
}

TEST_F(DisplayCheck, WindowTextReplacesTheTextOfItsId)
{
    obj_text* text = static_cast<obj_text*>(res->GetComponent(10));
    text->text_ptr = "";
    res->Draw(false);
    EXPECT_EQ(Ink(Screenshot("display_check_empty_text"), SDL_Rect { 0, 250, 480, 60 }).w, 0);
}

TEST_F(DisplayCheck, LanguageNamesUseTheirOwnFonts)
{
    vk::Singleton<vk::Pref>::Inst()->SetLanguage(vk::SYSTEM::LANGUAGE::ENGLISH);
    EXPECT_STREQ(res->GetString(vk::STR::OK), "OK");
    vk::Singleton<vk::Pref>::Inst()->SetLanguage(vk::SYSTEM::LANGUAGE::JAPANESE);
    EXPECT_STREQ(res->GetString(vk::STR::CANCEL), "キャンセル");
    obj_text* text = static_cast<obj_text*>(res->GetComponent(10));
    text->text_id = vk::STR::KOREAN;
    res->Draw(false);
    Screenshot shot("display_check_language_name");
    EXPECT_GT(Ink(shot, SDL_Rect { 0, 250, 480, 60 }).w, 20);
}

TEST_F(DisplayCheck, ButtonFreeLeavesTheImageTableWhole)
{
    obj_button* button = static_cast<obj_button*>(res->GetComponent(4));
    ImgData* normal = button->image_normal;
    obj_button_free(button);
    EXPECT_EQ(button->image_normal, nullptr);
    EXPECT_EQ(button->image_focus, nullptr);
    EXPECT_EQ(res->GetSurface("4870_btn_n.png"), normal);
    // Finalize frees each image once (a second free would be reported by the sanitizers).
}

TEST_F(DisplayCheck, OverlayPicturesForTheMediaEngine)
{
    struct Case {
        int id;
        int w, h;
    } sizes[] = { { 0, 1152, 96 }, { 1, 768, 64 }, { 2, 576, 48 }, { 3, 576, 48 }, { 4, 384, 32 } };
    for (const Case& c : sizes) {
        const Uint32* pixels = static_cast<const Uint32*>(DrawClockCallback(c.id, "2026/12/10 13:45:07"));
        ASSERT_NE(pixels, nullptr) << c.id;
        EXPECT_EQ(pixels[0], 0xA0000000u) << "black at alpha 0xA0 around the text";
        int white = 0;
        for (int x = 0; x < c.w; ++x)
            white += pixels[(c.h / 2) * c.w + x] == 0xA0FFFFFFu;
        EXPECT_GT(white, 0) << c.id;
    }
    struct Refused {
        int id;
    } refused[] = { { -1 }, { 5 }, { 99 }, { 103 }, { 105 }, { 1000 } };
    for (const Refused& r : refused)
        EXPECT_EQ(DrawClockCallback(r.id, "x"), nullptr) << r.id;
    res->PrintScreen("cpu %d%%", 42);
    EXPECT_STREQ(GetScreenBuff(), "cpu 42%");
    EXPECT_NE(DrawClockCallback(103, ""), nullptr);
    EXPECT_EQ(DrawClockCallback(105, ""), nullptr);
    res->PrintScreen("%s", std::string(300, 'x').c_str());
    EXPECT_EQ(std::string(GetScreenBuff()).size(), 127u);
}

TEST_F(DisplayCheck, OverlayAndScreenDrawTogether)
{
    std::atomic<bool> done { false };
    std::thread engine([&done] {
        for (int i = 0; !done; ++i)
            DrawClockCallback(i % MAX_OVL_SURFACES, "2026/12/10 13:45:" + std::to_string(i % 60));
    });
    for (int i = 0; i < 40; ++i)
        res->Draw(false);
    done = true;
    engine.join();
    EXPECT_EQ(Screenshot("display_check_with_overlay").At(30, 80), RED);
}

TEST_F(DisplayCheck, MissingResourcesEndTheProgram)
{
    EXPECT_ASSERTION(res->GetString(9999), "text id:9999 error");
    EXPECT_ASSERTION(res->GetSurface("none.png"), "none.png not found.*unknown image file");
    EXPECT_ASSERTION(res->SetPage(12345), "id:12345 not registered");
    EXPECT_ASSERTION(res->GetComponent(777), "state:9901, id:777 cound not be found");
}

const char* const TWO_LANGUAGES =
    "[settings]\ntotal = 3\nlang = 2\n"
    "[0]\n0 = zero-j\n1 = zero-e\n"
    "[1]\n0 = one-j\n"
    "[2]\n0 = two-j\n1 = two-e\n";

TEST(ResourceTexts, LanguageFileShapes)
{
    uitest::UseOwnResources("lang_shapes", "", TWO_LANGUAGES);
    vk::Resource* res = vk::Resource::Inst();
    res->Init(LCD_WIDTH, LCD_HEIGHT, true);
    vk::Singleton<vk::Pref>::Inst()->SetLanguage(vk::SYSTEM::LANGUAGE::ENGLISH);
    EXPECT_STREQ(res->GetString(0), "zero-e");
    EXPECT_STREQ(res->GetString(1), "") << "a missing key is the empty text";
    EXPECT_STREQ(res->GetString(2), "two-e");
    // Korean is not in this file: the first language stands in.
    vk::Singleton<vk::Pref>::Inst()->SetLanguage(vk::SYSTEM::LANGUAGE::KOREAN);
    EXPECT_EQ(res->GetLanguage(), 0);
    EXPECT_STREQ(res->GetString(2), "two-j");
    EXPECT_ASSERTION(res->GetString(3), "text id:3 error");
    res->Finalize();
}

TEST(ResourceImages, EveryNameContainingPngIsLoaded)
{
    std::string work = uitest::UseOwnResources("images", "", TWO_LANGUAGES, true);
    std::string images = uitest::BinaryDir() + "/rsc/images/";
    for (const char* name : { "4870_icon_check.png", "4870_icon_check.png.bak" })
        ASSERT_EQ(std::system(("cp " + images + "4870_icon_check.png '" + work + "/rsc/images/" + name + "'").c_str()), 0);
    uitest::WriteFile(work + "/rsc/images/notes.txt", "not an image");
    vk::Resource* res = vk::Resource::Inst();
    res->Init(LCD_WIDTH, LCD_HEIGHT, true);
    EXPECT_NE(res->GetSurface("4870_icon_check.png.bak"), nullptr);
    EXPECT_ASSERTION(res->GetSurface("notes.txt"), "unknown image file");
    res->Finalize();
}

TEST(ResourceDraw, KeepDrawsOverWhatIsShown)
{
    uitest::UseOwnResources("keep",
        "<state id=\"1\" x=\"0\" y=\"0\" w=\"480\" h=\"320\" bg_color=\"FF0000\"></state>\n"
        "<state id=\"2\" x=\"0\" y=\"0\" w=\"240\" h=\"320\" bg_color=\"0000FF\"></state>\n",
        TWO_LANGUAGES);
    vk::Resource* res = vk::Resource::Inst();
    res->Init(LCD_WIDTH, LCD_HEIGHT, true);
    res->SetPage(1);
    res->Draw(false);
    res->SetPage(2);
    res->Draw(true);
    {
        Screenshot kept("keep");
        EXPECT_EQ(kept.At(100, 100), BLUE);
        EXPECT_EQ(kept.At(300, 100), RED);
    }
    res->Draw(false);
    EXPECT_EQ(Screenshot("keep_cleared").At(300, 100), 0x000000u);
    res->Finalize();
}

} // namespace
