// What the effect declares about itself agrees with its PiPL, and the About text.
#include <cstdlib>
#include <string>

#include "host/PiPL.h"
#include "tests/support/PluginFixture.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {
// Holds the Shift key for the plug-in: the key state of this thread on Windows, the stand-in's
// environment variable elsewhere.
class ShiftKeyHeld {
public:
    ShiftKeyHeld() { Set(true); }
    ~ShiftKeyHeld() { Set(false); }

private:
    static void Set(bool down) {
#if defined(_WIN32)
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
#else
        if (down)
            setenv("TOVRIN_SHIFT_KEY", "1", 1);
        else
            unsetenv("TOVRIN_SHIFT_KEY");
#endif
    }
};
} // namespace

using GlobalSetupTest = PluginTest;

TEST_F(GlobalSetupTest, AnswersMatchThePiPL) {
    ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
    const PF_OutData& out = instance->LastOutData();
    EXPECT_EQ(out.my_version, 0x00081602u);
    EXPECT_EQ(static_cast<A_u_long>(out.out_flags), 0x06000470u);
    EXPECT_EQ(static_cast<A_u_long>(out.out_flags2), 0x00001498u);

    const host::PiPL* pipl = plugin->pipl();
    ASSERT_NE(pipl, nullptr);
    EXPECT_EQ(pipl->version, out.my_version);
    EXPECT_EQ(pipl->outFlags, static_cast<A_u_long>(out.out_flags));
    EXPECT_EQ(pipl->outFlags2, static_cast<A_u_long>(out.out_flags2));
}

TEST_F(GlobalSetupTest, AboutShowsTheBuildOnlyWithShiftHeld) {
    std::string plain;
    ASSERT_EQ(instance->About(&plain), PF_Err_NONE);
    EXPECT_EQ(plain.substr(0, plain.find('\r')), "Tovrin 1.0.2 Release");
    EXPECT_NE(plain.find("\r\r"), std::string::npos);

    std::string withBuild;
    {
        ShiftKeyHeld shift;
        ASSERT_EQ(instance->About(&withBuild), PF_Err_NONE);
    }
    EXPECT_EQ(withBuild.substr(0, withBuild.find('\r')), "Tovrin 1.0.2 Release build:2");
    EXPECT_EQ(plain.substr(plain.find("\r\r")), withBuild.substr(withBuild.find("\r\r")))
        << "the notice line is the same";
}

TEST_F(GlobalSetupTest, PiPLResourceHoldsExactlyTheDeclaredBytes) {
    // Written out by hand from the layout: marker 1, list version 0, 12 properties, each vendor '8BIM'
    // and key stored little-endian, id 0, length, data padded to four bytes.
    const unsigned char expected[] = {
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 'M', 'I', 'B', '8',  'd',  'n',  'i',
        'k',  0,    0,    0,    0,    4,    0,    0,    0,    'T',  'K', 'F', 'e', 'M',  'I',  'B',  '8',
        'e',  'm',  'a',  'n',  0,    0,    0,    0,    8,    0,    0,   0,   6,   'T',  'o',  'v',  'r',
        'i',  'n',  0,    'M',  'I',  'B',  '8',  'g',  't',  'a',  'c', 0,   0,   0,    0,    8,    0,
        0,    0,    6,    'O',  's',  't',  'r',  'e',  'l',  0,    'M', 'I', 'B', '8',  '4',  '6',  '6',
        '8',  0,    0,    0,    0,    16,   0,    0,    0,    'E',  'n', 't', 'r', 'y',  'P',  'o',  'i',
        'n',  't',  'F',  'u',  'n',  'c',  0,    0,    'M',  'I',  'B', '8', 'R', 'V',  'P',  'e',  0,
        0,    0,    0,    4,    0,    0,    0,    2,    0,    0,    0,   'M', 'I', 'B',  '8',  'R',  'V',
        'S',  'e',  0,    0,    0,    0,    4,    0,    0,    0,    13,  0,   0,   0,    'M',  'I',  'B',
        '8',  'R',  'E',  'V',  'e',  0,    0,    0,    0,    4,    0,   0,   0,   0x02, 0x16, 0x08, 0x00,
        'M',  'I',  'B',  '8',  'F',  'N',  'I',  'e',  0,    0,    0,   0,   2,   0,    0,    0,    0,
        0,    0,    0,    'M',  'I',  'B',  '8',  'O',  'L',  'G',  'e', 0,   0,   0,    0,    4,    0,
        0,    0,    0x70, 0x04, 0x00, 0x06, 'M',  'I',  'B',  '8',  '2', 'L', 'G', 'e',  0,    0,    0,
        0,    4,    0,    0,    0,    0x98, 0x14, 0x00, 0x00, 'M',  'I', 'B', '8', 'A',  'N',  'M',  'e',
        0,    0,    0,    0,    16,   0,    0,    0,    13,   'O',  'S', 'T', 'R', 'E',  'L',  ' ',  'T',
        'O',  'V',  'R',  'I',  'N',  0,    0,    'M',  'I',  'B',  '8', 'L', 'F', 'e',  'a',  0,    0,
        0,    0,    4,    0,    0,    0,    0,    0,    0,    0,
    };
    const std::vector<std::uint8_t> bytes = host::Plugin::ReadPiPLBytes(plugin->Module());
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(std::begin(expected), std::end(expected)));

    const host::PiPL* pipl = plugin->pipl();
    ASSERT_NE(pipl, nullptr);
    EXPECT_EQ(pipl->name, "Tovrin");
    EXPECT_EQ(pipl->category, "Ostrel");
    EXPECT_EQ(pipl->entryPoint, "EntryPointFunc");
    EXPECT_EQ(pipl->matchName, "OSTREL TOVRIN");
}
