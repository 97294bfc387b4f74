// The dialog templates as the program carries them: read from Tavolin.exe's
// own resources, every style, rectangle, id, class and text in place.
#include <doctest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "dialog_story.h"

namespace {

struct Item {
    uint32_t style;
    int16_t x, y, width, height;
    uint16_t id;
    std::string windowClass; // lower case; predefined classes by name
    std::string text;        // "#107" for a resource number
};

struct Template {
    uint32_t style;
    int16_t x, y, width, height;
    std::string caption;
    uint16_t pointSize;
    std::string font;
    std::vector<Item> items;
};

// Reads a DLGTEMPLATE (the classic form, which the DIALOG statement makes).
class TemplateReader {
public:
    explicit TemplateReader(const uint8_t *data) : at(data) {}

    Template Read()
    {
        Template dialog = {};
        dialog.style = Dword();
        Dword(); // extended style
        const uint16_t count = Word();
        dialog.x = Short(), dialog.y = Short(), dialog.width = Short(), dialog.height = Short();
        NameOrNumber(); // menu
        NameOrNumber(); // class
        dialog.caption = Text();
        if (dialog.style & DS_SETFONT) {
            dialog.pointSize = Word();
            dialog.font = Text();
        }
        for (uint16_t index = 0; index < count; ++index) {
            Align();
            Item item = {};
            item.style = Dword();
            Dword();
            item.x = Short(), item.y = Short(), item.width = Short(), item.height = Short();
            item.id = Word();
            item.windowClass = ClassName(NameOrNumber());
            item.text = NameOrNumber();
            at += Word(); // creation data
            dialog.items.push_back(item);
        }
        return dialog;
    }

private:
    uint16_t Word()
    {
        const uint16_t value = static_cast<uint16_t>(at[0] | at[1] << 8);
        at += 2;
        return value;
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
    void Align() { at += (4 - reinterpret_cast<uintptr_t>(at) % 4) % 4; }
    std::string Text()
    {
        std::string text;
        while (const uint16_t unit = Word())
            text.push_back(static_cast<char>(unit));
        return text;
    }
    std::string NameOrNumber()
    {
        if (at[0] == 0xFF && at[1] == 0xFF) {
            at += 2;
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    static std::string ClassName(std::string name)
    {
        if (name == "#128")
            return "button";
        if (name == "#129")
            return "edit";
        if (name == "#130")
            return "static";
        if (name == "#133")
            return "combobox";
        for (char &letter : name)
            letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        return name;
    }

    const uint8_t *at;
};

Template load_template(int id)
{
    HMODULE program = LoadLibraryExA((testing::BinDirectory() + "\\Tavolin.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(program);
    HRSRC resource = FindResourceA(program, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)); // RT_DIALOG
    REQUIRE(resource);
    const auto *data = static_cast<const uint8_t *>(LockResource(LoadResource(program, resource)));
    REQUIRE(data);
    const Template dialog = TemplateReader(data).Read();
    FreeLibrary(program);
    return dialog;
}

void check_items(const Template &dialog, const std::vector<Item> &expected)
{
    REQUIRE(dialog.items.size() == expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        const Item &item = dialog.items[index];
        const Item &wanted = expected[index];
        INFO("control " << index << " id " << wanted.id);
        CHECK(item.id == wanted.id);
        CHECK(item.windowClass == wanted.windowClass);
        CHECK(item.style == wanted.style);
        CHECK(item.x == wanted.x);
        CHECK(item.y == wanted.y);
        CHECK(item.width == wanted.width);
        CHECK(item.height == wanted.height);
        if (!wanted.text.empty())
            CHECK(item.text == wanted.text);
    }
}

void check_frame(const Template &dialog, uint32_t style, std::initializer_list<int16_t> rect, const char *caption,
                 uint16_t pointSize)
{
    CHECK(dialog.style == style);
    CHECK(std::vector<int16_t>{dialog.x, dialog.y, dialog.width, dialog.height} == std::vector<int16_t>(rect));
    CHECK(dialog.caption == caption);
    CHECK(dialog.pointSize == pointSize);
    CHECK(dialog.font == "System");
}

} // namespace

TEST_CASE("the About template, 103")
{
    const Template about = load_template(103);
    check_frame(about, 0x00C800C0, {22, 17, 150, 68}, "About", 8);
    check_items(about, {{0x50000003, 5, 10, 20, 20, 2, "static", "#107"},
                        {0x50020080, 28, 10, 103, 8, 1007, "static", "Version (see function \"About\")"},
                        {0x50020002, 30, 20, 95, 8, 1008, "static", ""},
                        {0x50030001, 113, 51, 30, 11, 1, "button", "OK"},
                        {0x50020000, 7, 36, 136, 10, 1006, "static", "Radio System:"}});
    // The notice is one line that names the year.
    const std::string notice = about.items[2].text;
    CHECK(notice.find("20") != std::string::npos);
    CHECK(notice.find('\n') == std::string::npos);
}

TEST_CASE("the Settings template, 130")
{
    const Template settings = load_template(130);
    check_frame(settings, 0x80C800C0, {0, 0, 152, 83}, "Settings", 10);
    check_items(settings, {{0x50010001, 110, 5, 40, 14, 1, "button", "OK"},
                           {0x50010000, 110, 20, 40, 10, 2, "button", "Cancel"},
                           {0x50000007, 5, 60, 100, 25, 0xFFFF, "button", " Stereo Noise Cancelling "},
                           {0x50000009, 65, 70, 25, 10, 1003, "button", "Off"},
                           {0x50020009, 15, 70, 25, 10, 1004, "button", "On"},
                           {0x50000007, 5, 0, 100, 30, 0xFFFF, "button", " Radio System "},
                           // Hidden: it names the list for screen readers.
                           {0x40000000, 15, 10, 85, 8, 0xFFFF, "static", "Radio System"},
                           {0x50210003, 15, 10, 85, 45, 1005, "combobox", ""}});
}

TEST_CASE("the RDS template, 148")
{
    const Template rds = load_template(148);
    check_frame(rds, 0x90C800C0, {0, 0, 121, 51}, "RDS", 12);
    // A hidden label names the text for screen readers.
    check_items(rds, {{0x40000000, 0, 0, 0, 0, 0xFFFF, "static", "RDS text"},
                      {0x50800044, 0, 5, 120, 95, 1009, "edit", ""}});
}
