// Skin files the radio cannot use as they should be: missing, cut short, not
// bitmaps at all, 1 x 1, very large, and stored in palette, run-length and
// 16-bit formats. The radio starts, answers, takes input and ends as usual;
// every format Windows reads shows the picture it holds.
#include <doctest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "reliability_story.h"
#include "scripted_actions.h"
#include "temp_folder.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

const char *const SkinNames[] = {"BK_U.bmp", "BK_P.bmp", "BK_E.bmp"};

// Black and white squares of 8 pixels: every format can hold them exactly.
int pattern(int x, int y)
{
    return ((x / 8) + (y / 8)) & 1;
}

COLORREF pattern_colour(int x, int y)
{
    return pattern(x, y) ? RGB(255, 255, 255) : RGB(0, 0, 0);
}

void put16(std::vector<uint8_t> &bytes, uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t> &bytes, uint32_t value)
{
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

// Rows bottom-up, as a BMP stores them.
std::vector<uint8_t> pixel_data(int width, int height, int bits, DWORD compression)
{
    std::vector<uint8_t> data;
    for (int row = height - 1; row >= 0; --row) {
        std::vector<uint8_t> line;
        if (compression == BI_RLE8 || compression == BI_RLE4) {
            // Runs of one colour, at most 8 pixels (a square's width) each.
            for (int x = 0; x < width;) {
                const int run = std::min(8 - x % 8, width - x);
                const int index = pattern(x, row);
                line.push_back(static_cast<uint8_t>(run));
                line.push_back(static_cast<uint8_t>(compression == BI_RLE8 ? index : index << 4 | index));
                x += run;
            }
            line.push_back(0);
            line.push_back(0); // end of line
        } else if (bits == 24) {
            for (int x = 0; x < width; ++x)
                for (int channel = 0; channel < 3; ++channel)
                    line.push_back(pattern(x, row) ? 0xFF : 0x00);
        } else if (bits == 16) {
            for (int x = 0; x < width; ++x)
                put16(line, pattern(x, row) ? 0xFFFF : 0x0000);
        } else {
            line.assign(static_cast<size_t>((width * bits + 7) / 8), 0);
            for (int x = 0; x < width; ++x) {
                const int bit = x * bits;
                line[static_cast<size_t>(bit / 8)] |=
                    static_cast<uint8_t>(pattern(x, row) << (8 - bits - bit % 8));
            }
        }
        if (compression != BI_RLE8 && compression != BI_RLE4)
            line.resize((line.size() + 3) & ~static_cast<size_t>(3), 0);
        data.insert(data.end(), line.begin(), line.end());
    }
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        data.push_back(0);
        data.push_back(1); // end of bitmap
    }
    return data;
}

std::vector<uint8_t> bitmap_file(int width, int height, int bits, DWORD compression)
{
    const std::vector<uint8_t> data = pixel_data(width, height, bits, compression);
    std::vector<uint8_t> table;
    if (bits <= 8) {
        for (int entry = 0; entry < (1 << bits); ++entry)
            put32(table, entry == 1 ? 0xFFFFFF : 0);
    } else if (compression == BI_BITFIELDS) {
        put32(table, 0xF800);
        put32(table, 0x07E0);
        put32(table, 0x001F);
    }
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(table.size());
    std::vector<uint8_t> file;
    put16(file, 0x4D42);
    put32(file, offset + static_cast<uint32_t>(data.size()));
    put32(file, 0);
    put32(file, offset);
    put32(file, 40);
    put32(file, static_cast<uint32_t>(width));
    put32(file, static_cast<uint32_t>(height));
    put16(file, 1);
    put16(file, static_cast<uint32_t>(bits));
    put32(file, compression);
    put32(file, static_cast<uint32_t>(data.size()));
    put32(file, 2835);
    put32(file, 2835);
    put32(file, 0);
    put32(file, 0);
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

std::vector<uint8_t> read_file(const std::string &path)
{
    std::vector<uint8_t> bytes;
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t count;
        while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + count);
        std::fclose(file);
    }
    return bytes;
}

// A folder of its own for the radio's skins.
class SkinFolder : public testing::TempFolder {
public:
    explicit SkinFolder(const std::string &name) : TempFolder("tavolin-skins-" + name) {}
    ~SkinFolder() override = default;
    void WriteAll(const std::vector<uint8_t> &bytes) const
    {
        for (const char *name : SkinNames)
            Write(name, bytes);
    }
};

bool shows_pattern(const testing::ClientShot &shot, const RECT &area)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) != pattern_colour(x, y))
                return false;
    return shot.Valid();
}

// Starts the radio on the folder's skins, uses it a little and ends it;
// when `picture` is set, the buttons must show the pattern.
void run_on(RadioStory &story, const SkinFolder &folder, bool picture)
{
    story.card.ClearLog();
    RadioProgram radio(folder.Path());
    REQUIRE(radio.Window());
    REQUIRE(story.AwaitRequests(TUNER_SET_FREQUENCY, 2).size() >= 2);
    const int32_t tuned = story.card.State().frequency;
    SendTap(radio.Window(), VK_RIGHT);
    SendClick(radio.Window(), Middle(Mute));
    SendClick(radio.Window(), Middle(Groups[1]));
    InvalidateRect(radio.Window(), nullptr, FALSE);
    radio.Settle();
    CHECK(story.card.State().frequency == tuned + 1);
    CHECK(story.card.State().mute == 1);
    if (picture) {
        const testing::ClientShot shot = radio.Shot();
        CHECK(shows_pattern(shot, Power));
        CHECK(shows_pattern(shot, Minimize));
        CHECK(shows_pattern(shot, Presets[5]));
    }
    reliability_test::ExpectOrderlyEnd(story, radio);
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "skins that are missing or damaged")
{
    SUBCASE("missing")
    {
        SkinFolder folder("missing");
        run_on(*this, folder, false);
    }
    SUBCASE("cut short")
    {
        const std::vector<uint8_t> whole = read_file(testing::BinDirectory() + "\\BK_U.bmp");
        REQUIRE(whole.size() > 1000);
        SkinFolder folder("short");
        folder.WriteAll(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
        run_on(*this, folder, false);
    }
    SUBCASE("only a header")
    {
        const std::vector<uint8_t> whole = read_file(testing::BinDirectory() + "\\BK_U.bmp");
        SkinFolder folder("header");
        folder.WriteAll(std::vector<uint8_t>(whole.begin(), whole.begin() + 20));
        run_on(*this, folder, false);
    }
    SUBCASE("not bitmaps")
    {
        SkinFolder folder("text");
        const std::string text = "This is not a picture of a radio.\r\n";
        folder.WriteAll(std::vector<uint8_t>(text.begin(), text.end()));
        run_on(*this, folder, false);
    }
    SUBCASE("empty files")
    {
        SkinFolder folder("empty");
        folder.WriteAll({});
        run_on(*this, folder, false);
    }
    SUBCASE("1 x 1")
    {
        SkinFolder folder("tiny");
        folder.WriteAll(bitmap_file(1, 1, 24, BI_RGB));
        run_on(*this, folder, false);
    }
    SUBCASE("very large: 3000 x 2000")
    {
        SkinFolder folder("large");
        folder.WriteAll(bitmap_file(3000, 2000, 24, BI_RGB));
        run_on(*this, folder, true);
    }
}

TEST_CASE_FIXTURE(RadioStory, "skins in other bitmap formats")
{
    struct Format {
        const char *name;
        int bits;
        DWORD compression;
    };
    const Format formats[] = {{"1-bit palette", 1, BI_RGB},   {"4-bit palette", 4, BI_RGB},
                              {"8-bit palette", 8, BI_RGB},   {"8-bit run-length", 8, BI_RLE8},
                              {"4-bit run-length", 4, BI_RLE4}, {"16-bit 5-6-5", 16, BI_BITFIELDS},
                              {"24-bit", 24, BI_RGB}};
    for (const Format &format : formats) {
        const std::string name = format.name;
        CAPTURE(name);
        SkinFolder folder("format");
        folder.WriteAll(bitmap_file(240, 268, format.bits, format.compression));
        run_on(*this, folder, true);
    }
}
