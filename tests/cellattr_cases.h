// cellattr_cases.h - @CELLATTR examples shared by the simulated-console and
// the real-console suites.  The screen: the window's top-left cell holds
// 0x07 and the next 0x1F, a cell further on 0x8007; the buffer is 120 wide.
#pragma once

struct FormatCase {
    const char16_t* args;
    const char16_t* result;
};

// Cells at window row 0: column 0 = 0x07, column 1 = 0x1F.
inline const FormatCase kFormatCases[] = {
    {u"0,0", u"7"},
    {u"0,0,2", u"7 31"},
    {u"0,0,2,1", u"07 1F"},
    {u"0,0,2,2", u"0x07 0x1F"},
    {u"0,0,2,3", u"White on Black, Bright White on Blue"},
    {u"0,0,2,4", u"Whi on Bla, Bri Whi on Blu"},
    {u"0,0,2,5", u"White, Bright White"},
    {u"0,0,2,6", u"Whi, Bri Whi"},
    {u"0,0,2,7", u"7 31"},
    {u"0,0,2,8", u"7 31"},
    {u"0,0,,1", u"07"},
    {u"0,0,2,0xFE03", u"White on Black, Bright White on Blue"},  // unused bits ignored
    {u" 0 , 1 ", u"31"},
    {u"\"0\",\"1\",\"1\",\"1\"", u"1F"},
    {u"0,0,1,0,extra,args", u"7"},
};

// Column 2 of window row 0 holds 0x8007.
inline const FormatCase kMaskCases[] = {
    {u"0,2,1,129", u"07"},
    {u"0,2,1,257", u"8000"},
    {u"0,2,1,256", u"32768"},
    {u"0,2,1,384", u"7"},
    {u"0,2,1,385", u"07"},
    {u"0,2,1,258", u"0x8000"},
    {u"0,2,1,259", u"Black on Black"},
    {u"0,2,1,131", u"White on Black"},
    {u"0,2,1,0", u"32775"},
    {u"0,2,1,1", u"8007"},
};
