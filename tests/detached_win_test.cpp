// @CELLATTR in a process that has no console: opening CONOUT$ fails for
// real, and the message carries the system's text.
#include "capture.h"
#include "win_plugin.h"

#include "../host/interface/host_limits.h"

#include <string>

namespace {

TEST(Detached, OpeningTheConsoleFails)
{
    CellAttrFunction cellattr = CellAttrExport();
    ASSERT_NE(cellattr, nullptr);
    ASSERT_TRUE(FreeConsole());

    std::u16string args = u"0,0,2,3";
    char16_t buffer[HOST_RESULT_CAPACITY] = {};
    args.copy(buffer, args.size());
    StderrCaptureBegin();
    EXPECT_EQ(cellattr(buffer), -1);
    std::u16string err = StderrCaptureEnd();
    EXPECT_EQ(std::u16string(buffer), args);

    const std::u16string head = u"CellAttr plugin: Error opening console handle:\r\n    ";
    ASSERT_EQ(err.substr(0, head.size()), head);
    std::u16string systemText = err.substr(head.size());
    ASSERT_GE(systemText.size(), 3u);
    EXPECT_EQ(systemText.substr(systemText.size() - 2), u"\r\n");
    systemText.resize(systemText.size() - 2);
    EXPECT_EQ(systemText.find_first_of(u"\r\n"), std::u16string::npos);
    EXPECT_NE(systemText.back(), u' ');
}

}  // namespace
