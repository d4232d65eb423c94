// The AC-3 syntax tree: node texts, their order and nesting, and which nodes start expanded.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis/AC3Utils.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

// The tree as text: one node a line, indented two spaces a level, "+" before expanded nodes, and
// trailing spaces shown as "~" so that they are visible.
std::string Outline(const TTreeModel& Tree) {
  std::string Text;
  const auto Walk = [&](const auto& Self, TTreeModel::TNodeId Id, int Depth) -> void {
    const auto& Node = Tree.Node(Id);
    std::string Line = ToUtf8(Node.Text);
    for (size_t End = Line.size(); End > 0 && Line[End - 1] == ' '; --End) Line[End - 1] = '~';
    Text += std::string(2 * static_cast<size_t>(Depth), ' ') + (Node.Expanded ? "+" : "") + Line + "\n";
    for (auto Child : Node.Children) Self(Self, Child, Depth + 1);
  };
  for (auto Root : Tree.Roots()) Walk(Walk, Root, 0);
  return Text;
}

// The element names under "bsi()", in order.
std::vector<std::string> BsiNames(const TTreeModel& Tree) {
  std::vector<std::string> Names;
  const auto& Root = Tree.Node(Tree.Roots().at(0));
  for (auto Child : Tree.Node(Root.Children.at(1)).Children) {
    const std::string Text = ToUtf8(Tree.Node(Child).Text);
    Names.push_back(Text.substr(0, Text.find(' ')));
  }
  return Names;
}

TAC3Frame FiveOneFrame() {
  TAC3Frame F{};
  F.syncword = 0x0B77, F.crc1 = 0x00AF, F.fscod = 0, F.frmsizecod = 20;
  F.bsid = 8, F.bsmod = 0, F.acmod = 7, F.cmixlev = 1, F.surmixlev = 2, F.lfeon = 1, F.dialnorm = 27;
  F.audprodie = 1, F.mixlevel = 25, F.roomtyp = 1, F.copyrightb = 1, F.origbs = 1;
  F.blksw[3] = 1, F.dithflag[0] = 1, F.dithflag[4] = 1, F.dynrnge = 1, F.dynrng = 0xE0;
  return F;
}

TEST(UpdateTreeViewAC3Frame, BuildsTheTreeOfA51Frame) {
  TTreeModel Tree;
  UpdateTreeView_ac3_frame(&Tree, FiveOneFrame());
  EXPECT_EQ(Outline(Tree), R"(+ac3_syncframe()~~~~~
  +syncinfo()~~~~~~~~~~
    syncword             : 0x0B77 (16 bits)
    crc1                 : 0x00AF (16 bits)
    fscod                : 0 [48000 Hz] (2 bits)
    frmsizecod           : 20 [384 words] (6 bits)
  bsi()
    bsid                 : 8 (5 bits)
    bsmod                : 0 [main audio service: complete main (CM)] (3 bits)
    acmod                : 7 [3/2 (5) L, C, R, SL, SR] (3 bits)
    cmixlev              : 1 [0.595 (–4.5 dB)] (2 bits)
    surmixlev            : 2 [0] (2 bits)
    lfeon                : 1 (1 bit)
    dialnorm             : 27 (5 bits)
    compre               : 0 (1 bit)
    langcode             : 0 (1 bit)
    audprodie            : 1 (1 bit)
    mixlevel             : 25 (5 bits)
    roomtyp              : 1 [large room, X curve monitor] (2 bits)
    copyrightb           : 1 (1 bit)
    origbs               : 1 (1 bit)
    timecod1e            : 0 (1 bit)
    timecod2e            : 0 (1 bit)
    addbsie              : 0 (1 bit)
  audblk()
    blksw[0]             : 0 (1 bit)
    blksw[1]             : 0 (1 bit)
    blksw[2]             : 0 (1 bit)
    blksw[3]             : 1 (1 bit)
    blksw[4]             : 0 (1 bit)
    dithflag[0]          : 1 (1 bit)
    dithflag[1]          : 0 (1 bit)
    dithflag[2]          : 0 (1 bit)
    dithflag[3]          : 0 (1 bit)
    dithflag[4]          : 1 (1 bit)
    dynrnge              : 1 (1 bit)
    dynrng               : 224 [–6.02 dB] (8 bits)
  auxdata()
  errorcheck()
)");
}

// A 1+1 frame with every optional element present, built over a tree that held another frame.
TEST(UpdateTreeViewAC3Frame, BuildsTheTreeOfADualMonoFrameWithEveryOption) {
  TAC3Frame F{};
  F.syncword = 0x0B77, F.crc1 = 0xFFFF, F.fscod = 1, F.frmsizecod = 16;
  F.bsid = 6, F.bsmod = 7, F.acmod = 0, F.dialnorm = 31, F.compre = 1, F.compr = 200, F.langcode = 1, F.langcod = 9;
  F.dialnorm2 = 7, F.compr2e = 1, F.compr2 = 60, F.langcod2e = 1, F.langcod2 = 255;
  F.audprodi2e = 1, F.mixlevel2 = 31, F.roomtyp2 = 2;
  F.timecod1e = 1, F.timecod1 = 8193, F.timecod2e = 1, F.timecod2 = 16383;
  F.addbsie = 1, F.addbsil = 20;
  F.blksw[1] = 1, F.dynrnge = 0, F.dynrng = 99, F.dynrng2e = 1, F.dynrng2 = 0x7F;
  const uint8_t Addbsi[21] = {'A', 'C', '-', '3', ' ', 's', 'y', 'n', 't', 'a', 'x', ' ', 't', 'r', 'e', 'e',
                              0x00, 0x7F, 0x41, 0xFF, 0x0A};
  std::memcpy(F.addbsi, Addbsi, sizeof(Addbsi));
  // Left over from an earlier frame in the record; its flag is off, so it is not shown.
  F.mixlevel = 12;

  TTreeModel Tree;
  UpdateTreeView_ac3_frame(&Tree, FiveOneFrame());
  UpdateTreeView_ac3_frame(&Tree, F);
  const std::string DumpLine1 = "41 43 2D 33 20 73 79 6E 74 61 78 20 74 72 65 65 " + std::string(12, ' ') + "AC-3 syntax tree";
  const std::string DumpLine2 = "00 7F 41 FF 0A " + std::string(45, ' ') + "..A\u00FF.";
  EXPECT_EQ(Outline(Tree), R"(+ac3_syncframe()~~~~~
  +syncinfo()~~~~~~~~~~
    syncword             : 0x0B77 (16 bits)
    crc1                 : 0xFFFF (16 bits)
    fscod                : 1 [44100 Hz] (2 bits)
    frmsizecod           : 16 [278 words] (6 bits)
  bsi()
    bsid                 : 6 (5 bits)
    bsmod                : 7 [main audio service: karaoke] (3 bits)
    acmod                : 0 [1+1 (2) Ch1, Ch2] (3 bits)
    lfeon                : 0 (1 bit)
    dialnorm             : 31 (5 bits)
    compre               : 1 (1 bit)
    compr                : 200 (8 bits)
    langcode             : 1 (1 bit)
    langcod              : 9 (8 bits)
    audprodie            : 0 (1 bit)
    dialnorm2            : 7 (5 bits)
    compr2e              : 1 (1 bit)
    compr2               : 60 (8 bits)
    langcod2e            : 1 (1 bit)
    langcod2             : 255 (8 bits)
    audprodi2e           : 1 (1 bit)
    mixlevel2            : 31 (5 bits)
    roomtyp2             : 2 (2 bits)
    copyrightb           : 0 (1 bit)
    origbs               : 0 (1 bit)
    timecod1e            : 1 (1 bit)
    timecod1             : 8193 (14 bits)
    timecod2e            : 1 (1 bit)
    timecod2             : 16383 (14 bits)
    addbsie              : 1 (1 bit)
    addbsil              : 20 (6 bits)
    )" + DumpLine1 + "\n    " + DumpLine2 + R"(
  audblk()
    blksw[0]             : 0 (1 bit)
    blksw[1]             : 1 (1 bit)
    dithflag[0]          : 0 (1 bit)
    dithflag[1]          : 0 (1 bit)
    dynrnge              : 0 (1 bit)
    dynrng2e             : 1 (1 bit)
    dynrng2              : 127 [23.95 dB] (8 bits)
  auxdata()
  errorcheck()
)");
}

// The mix elements each audio coding mode shows, and bsmod 7's meaning with and without acmod 1.
// Fields whose conditions are false hold junk, which must never appear.
TEST(UpdateTreeViewAC3Frame, ShowsTheElementsOfEachAcmod) {
  const std::vector<std::string> Head = {"bsid", "bsmod", "acmod"};
  const std::vector<std::string> Tail = {"lfeon", "dialnorm", "compre", "langcode", "audprodie"};
  const std::vector<std::string> End = {"copyrightb", "origbs", "timecod1e", "timecod2e", "addbsie"};
  struct {
    uint32_t acmod;
    std::vector<std::string> Mix;
  } const Cases[] = {
      {0, {}}, {1, {}}, {2, {"dsurmod"}}, {3, {"cmixlev"}}, {4, {"surmixlev"}},
      {5, {"cmixlev", "surmixlev"}}, {6, {"surmixlev"}}, {7, {"cmixlev", "surmixlev"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE("acmod " + std::to_string(C.acmod));
    TAC3Frame F;
    std::memset(&F, 0x33, sizeof(F));
    F.acmod = C.acmod, F.bsmod = 7;
    F.compre = F.langcode = F.audprodie = F.compr2e = F.langcod2e = F.audprodi2e = 0;
    F.timecod1e = F.timecod2e = F.addbsie = 0;
    TTreeModel Tree;
    UpdateTreeView_ac3_frame(&Tree, F);

    std::vector<std::string> Expected = Head;
    Expected.insert(Expected.end(), C.Mix.begin(), C.Mix.end());
    Expected.insert(Expected.end(), Tail.begin(), Tail.end());
    if (C.acmod == 0) Expected.insert(Expected.end(), {"dialnorm2", "compr2e", "langcod2e", "audprodi2e"});
    Expected.insert(Expected.end(), End.begin(), End.end());
    EXPECT_EQ(BsiNames(Tree), Expected);

    const std::string Bsmod = ToUtf8(Tree.Node(Tree.Node(Tree.Node(0).Children.at(1)).Children.at(1)).Text);
    EXPECT_EQ(Bsmod, C.acmod == 1 ? "bsmod                : 7 [associated service: voice over (VO)] (3 bits)"
                                  : "bsmod                : 7 [main audio service: karaoke] (3 bits)");
  }
}

// Codes without an A/52 frame size show "reserved" rather than a size read from outside the table.
TEST(UpdateTreeViewAC3Frame, ShowsReservedSizeCodes) {
  struct {
    uint32_t fscod, frmsizecod;
    const char* Fscod;
    const char* Frmsizecod;
  } const Cases[] = {
      {3, 5, "fscod                : 3 [Unknown] (2 bits)", "frmsizecod           : 5 [reserved] (6 bits)"},
      {0, 40, "fscod                : 0 [48000 Hz] (2 bits)", "frmsizecod           : 40 [reserved] (6 bits)"},
      {1, 63, "fscod                : 1 [44100 Hz] (2 bits)", "frmsizecod           : 63 [reserved] (6 bits)"},
      {2, 37, "fscod                : 2 [32000 Hz] (2 bits)", "frmsizecod           : 37 [1920 words] (6 bits)"},
      {1, 17, "fscod                : 1 [44100 Hz] (2 bits)", "frmsizecod           : 17 [279 words] (6 bits)"},
  };
  for (const auto& C : Cases) {
    TAC3Frame F{};
    F.fscod = C.fscod, F.frmsizecod = C.frmsizecod;
    TTreeModel Tree;
    UpdateTreeView_ac3_frame(&Tree, F);
    const auto& SyncInfo = Tree.Node(Tree.Node(0).Children.at(0));
    EXPECT_EQ(ToUtf8(Tree.Node(SyncInfo.Children.at(2)).Text), C.Fscod);
    EXPECT_EQ(ToUtf8(Tree.Node(SyncInfo.Children.at(3)).Text), C.Frmsizecod);
  }
}

}  // namespace
}  // namespace corvane
