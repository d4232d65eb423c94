// The E-AC-3 syntax tree: which nodes a frame gets, in which order, with which texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "core/StringUtils.h"
#include "support/AC3PlusComposer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using TTexts = std::vector<std::u16string>;

// A label brought to 20 characters, then the rest of the node text.
std::u16string Row(const std::u16string& Label, const std::u16string& Rest) {
  return Label + std::u16string(Label.size() < 20 ? 20 - Label.size() : 0, u' ') + Rest;
}

// A record whose fields are all 0xEEEEEEEE, so that any node shown for a field the frame does
// not carry stands out.
TAC3PlusFrame JunkFrame() {
  TAC3PlusFrame F;
  std::memset(&F, 0xEE, sizeof F);
  return F;
}

// The plain frame of the header tests on top of junk: strmtyp 0, fscod 0, numblkscod 3,
// acmod 2, no metadata, no additional bsi.
TAC3PlusFrame PlainOnJunk() {
  TAC3PlusFrame F = JunkFrame();
  F.syncword = 0x0B77, F.strmtyp = 0, F.substreamid = 0, F.frmsiz = 767, F.fscod = 0, F.numblkscod = 3;
  F.acmod = 2, F.lfeon = 0, F.bsid = 16, F.dialnorm = 31, F.compre = 0, F.mixmdate = 0, F.infomdate = 0;
  F.addbsie = 0, F.blkswe = 0, F.dithflage = 0, F.dynrnge = 0;
  return F;
}

TTreeModel::TNodeId ChildByText(const TTreeModel& Tree, TTreeModel::TNodeId Parent, const std::u16string& Text) {
  for (TTreeModel::TNodeId Child : Tree.Node(Parent).Children)
    if (Tree.Node(Child).Text == Text) return Child;
  return TTreeModel::NoNode;
}

TTexts BsiTexts(const TTreeModel& Tree) {
  TTexts Texts;
  const TTreeModel::TNodeId Bsi = ChildByText(Tree, Tree.Roots().at(0), u"bsi()");
  if (Bsi == TTreeModel::NoNode) return Texts;
  for (TTreeModel::TNodeId Child : Tree.Node(Bsi).Children) Texts.push_back(Tree.Node(Child).Text);
  return Texts;
}

TTexts BsiTexts(const TAC3PlusFrame& F) {
  TTreeModel Tree;
  UpdateTreeView_ac3_plus_frame(&Tree, F);
  return BsiTexts(Tree);
}

// The label of each node: its text up to " : ", without the padding.
TTexts Labels(const TTexts& Texts) {
  TTexts Result;
  for (const std::u16string& Text : Texts) {
    std::u16string Label = Text.substr(0, Text.find(u" : "));
    Label.erase(Label.find_last_not_of(u' ') + 1);
    Result.push_back(Label);
  }
  return Result;
}

std::string Printable(const TTexts& Texts) {
  std::string Out;
  for (const std::u16string& Text : Texts) Out += ToUtf8(Text) + "\n";
  return Out;
}

TEST(AC3PlusTreeTest, PlainFrameBuildsTheWholeTree) {
  TTreeModel Tree;
  UpdateTreeView_ac3_plus_frame(&Tree, PlainOnJunk());
  const TTexts Expected = {
      u"eac3_syncframe()    ",
      u"syncinfo()          ",
      u"syncword             : 0x0B77 (16 bits)",
      u"bsi()",
      u"strmtyp              : 0 [Type 0] (2 bits)",
      Row(u"substreamid", u" : 0 (3 bits)"),
      u"frmsiz               : 767 [1536 bytes] (11 bits)",
      u"fscod                : 0 [48000 Hz] (2 bits)",
      Row(u"numblkscod", u" : 3 (2 bits)"),
      Row(u"acmod", u" : 2 (3 bits)"),
      Row(u"lfeon", u" : 0 (1 bit)"),
      Row(u"bsid", u" : 16 (5 bits)"),
      Row(u"dialnorm", u" : 31 (5 bits)"),
      Row(u"compre", u" : 0 (1 bit)"),
      Row(u"mixmdate", u" : 0 (1 bit)"),
      Row(u"infomdate", u" : 0 (1 bit)"),
      Row(u"addbsie", u" : 0 (1 bit)"),
      u"audfrm()",
      u"audblk()",
      Row(u"dynrnge", u" : 0 (1 bit)"),
      u"auxdata()",
      u"errorcheck()",
  };
  EXPECT_EQ(Printable(Tree.Texts()), Printable(Expected));
  EXPECT_EQ(Tree.Depths(), (std::vector<int32_t>{0, 1, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 2, 1, 1}));

  const TTreeModel::TNodeId Root = Tree.Roots().at(0);
  EXPECT_EQ(Tree.Roots().size(), 1u);
  EXPECT_TRUE(Tree.Node(Root).Expanded);
  EXPECT_TRUE(Tree.Node(ChildByText(Tree, Root, u"syncinfo()          ")).Expanded);
  EXPECT_FALSE(Tree.Node(ChildByText(Tree, Root, u"bsi()")).Expanded);
}

// One frame reaching most of the program mixing and informational branches of a 1+1 stream,
// every value distinct so that a value shown under the wrong label stands out.
TEST(AC3PlusTreeTest, OnePlusOneFrameWithMixingDataBlock) {
  TAC3PlusFrame F = PlainOnJunk();
  F.substreamid = 6, F.frmsiz = 1000, F.fscod = 2, F.numblkscod = 0, F.acmod = 0, F.lfeon = 1, F.dialnorm = 20;
  F.compre = 1, F.compr = 201, F.dialnorm2 = 19, F.compr2e = 1, F.compr2 = 202;
  F.mixmdate = 1, F.lfemixlevcode = 1, F.lfemixlevcod = 18, F.pgmscle = 1, F.pgmscl = 61, F.pgmscl2e = 1;
  F.pgmscl2 = 62, F.extpgmscle = 1, F.extpgmscl = 63, F.mixdef = 3, F.mixdeflen = 17, F.mixdata2e = 1;
  F.premixcmpsel = 1, F.drcsrc = 0, F.premixcmpscl = 7, F.extpgmlscle = 1, F.extpgmlscl = 1, F.extpgmcscle = 1;
  F.extpgmcscl = 2, F.extpgmrscle = 1, F.extpgmrscl = 3, F.extpgmlsscle = 1, F.extpgmlsscl = 4, F.extpgmrsscle = 1;
  F.extpgmrsscl = 5, F.extpgmlfescle = 1, F.extpgmlfescl = 6, F.dmixscle = 1, F.dmixscl = 8, F.addche = 1;
  F.extpgmaux1scle = 1, F.extpgmaux1scl = 9, F.extpgmaux2scle = 1, F.extpgmaux2scl = 10, F.mixdata3e = 1;
  F.spchdat = 21, F.addspchdate = 1, F.spchdat1 = 22, F.spchan1att = 3, F.addspchdat1e = 1, F.spchdat2 = 23;
  F.spchan2att = 5, F.mixdatafill = 0, F.paninfoe = 1, F.panmean = 150, F.paninfo = 40, F.paninfo2e = 1;
  F.panmean2 = 151, F.paninfo2 = 41, F.frmmixcfginfoe = 1, F.blkmixcfginfo[0] = 27;
  F.infomdate = 1, F.bsmod = 4, F.copyrightb = 1, F.origbs = 0, F.audprodie = 1, F.mixlevel = 30, F.roomtyp = 2;
  F.adconvtyp = 1, F.audprodi2e = 1, F.mixlevel2 = 29, F.roomtyp2 = 1, F.adconvtyp2 = 0, F.sourcefscod = 1;
  F.convsync = 1, F.addbsie = 1, F.addbsil = 5;

  const TTexts Expected = {
      Row(u"strmtyp", u" : 0 [Type 0] (2 bits)"),
      Row(u"substreamid", u" : 6 (3 bits)"),
      Row(u"frmsiz", u" : 1000 [2002 bytes] (11 bits)"),
      Row(u"fscod", u" : 2 [32000 Hz] (2 bits)"),
      Row(u"numblkscod", u" : 0 (2 bits)"),
      Row(u"acmod", u" : 0 (3 bits)"),
      Row(u"lfeon", u" : 1 (1 bit)"),
      Row(u"bsid", u" : 16 (5 bits)"),
      Row(u"dialnorm", u" : 20 (5 bits)"),
      Row(u"compre", u" : 1 (1 bit)"),
      Row(u"compr", u" : 201 (8 bits)"),
      Row(u"dialnorm2", u" : 19 (5 bits)"),
      Row(u"compr2e", u" : 1 (1 bit)"),
      Row(u"compr2", u" : 202 (8 bits)"),
      Row(u"mixmdate", u" : 1 (1 bit)"),
      Row(u"lfemixlevcode", u" : 1 (1 bit)"),
      Row(u"lfemixlevcod", u" : 18 (5 bits)"),
      Row(u"pgmscle", u" : 1 (1 bit)"),
      Row(u"pgmscl", u" : 61 (6 bits)"),
      Row(u"pgmscl2e", u" : 1 (1 bit)"),
      Row(u"pgmscl2", u" : 62 (6 bits)"),
      Row(u"extpgmscle", u" : 1 (1 bit)"),
      Row(u"extpgmscl", u" : 63 (6 bits)"),
      Row(u"mixdef", u" : 3 (2 bits)"),
      Row(u"mixdeflen", u" : 17 (5 bits)"),
      Row(u"mixdata2e", u" : 1 (1 bit)"),
      Row(u"premixcmpsel", u" : 1 (1 bit)"),
      Row(u"drcsrc", u" : 0 (1 bit)"),
      Row(u"premixcmpscl", u" : 7 (3 bits)"),
      Row(u"extpgmlscle", u" : 1 (1 bit)"),
      Row(u"extpgmlscl", u" : 1 (4 bits)"),
      Row(u"extpgmcscle", u" : 1 (1 bit)"),
      Row(u"extpgmcscl", u" : 2 (4 bits)"),
      Row(u"extpgmrscle", u" : 1 (1 bit)"),
      Row(u"extpgmrscl", u" : 3 (4 bits)"),
      Row(u"extpgmlsscle", u" : 1 (1 bit)"),
      Row(u"extpgmlscl_2", u" : 4 (4 bits)"),
      Row(u"extpgmrsscle", u" : 1 (1 bit)"),
      Row(u"extpgmrsscl", u" : 5 (4 bits)"),
      Row(u"extpgmlfescle", u" : 1 (1 bit)"),
      Row(u"extpgmlfescl", u" : 6 (4 bits)"),
      Row(u"dmixscle", u" : 1 (1 bit)"),
      Row(u"dmixscl", u" : 8 (4 bits)"),
      Row(u"addche", u" : 1 (1 bit)"),
      Row(u"extpgmaux1scle", u" : 1 (1 bit)"),
      Row(u"extpgmaux1scl", u" : 9 (4 bits)"),
      Row(u"extpgmaux2scle", u" : 1 (1 bit)"),
      Row(u"extpgmaux2scl", u" : 10 (4 bits)"),
      Row(u"mixdata3e", u" : 1 (1 bit)"),
      Row(u"spchdat", u" : 21 (5 bits)"),
      Row(u"addspchdate", u" : 1 (1 bit)"),
      Row(u"spchdat1", u" : 22 (5 bits)"),
      Row(u"spchan1att", u" : 3 (2 bits)"),
      Row(u"addspchdat1e", u" : 1 (1 bit)"),
      Row(u"spchdat2", u" : 23 (5 bits)"),
      Row(u"spchan2att", u" : 5 (3 bits)"),
      u"mixdata              : ",
      u"mixdatafill          : 0",
      Row(u"paninfoe", u" : 1 (1 bit)"),
      Row(u"panmean", u" : 150 (8 bits)"),
      Row(u"paninfoe_2", u" : 40 (6 bits)"),
      Row(u"paninfo2e", u" : 1 (1 bit)"),
      Row(u"panmean2", u" : 151 (8 bits)"),
      Row(u"paninfo2", u" : 41 (6 bits)"),
      Row(u"frmmixcfginfoe", u" : 1 (1 bit)"),
      Row(u"blkmixcfginfo[0]", u" : 27 (5 bits)"),
      Row(u"infomdate", u" : 1 (1 bit)"),
      Row(u"bsmod", u" : 4 (3 bits)"),
      Row(u"copyrightb", u" : 1 (1 bit)"),
      Row(u"origbs", u" : 0 (1 bit)"),
      Row(u"audprodie", u" : 1 (1 bit)"),
      Row(u"mixlevel", u" : 30 (5 bits)"),
      Row(u"roomtyp", u" : 2 (2 bits)"),
      Row(u"adconvtyp", u" : 1 (1 bit)"),
      Row(u"audprodi2e", u" : 1 (1 bit)"),
      Row(u"mixlevel2", u" : 29 (5 bits)"),
      Row(u"roomtyp2", u" : 1 (2 bits)"),
      Row(u"adconvtyp2", u" : 0 (1 bit)"),
      Row(u"sourcefscod", u" : 1 (1 bit)"),
      Row(u"convsync", u" : 1 (1 bit)"),
      Row(u"addbsie", u" : 1 (1 bit)"),
      Row(u"addbsil", u" : 5 (6 bits)"),
  };
  EXPECT_EQ(Printable(BsiTexts(F)), Printable(Expected));
}

// A dependent 3/2 + LFE substream: channel map, downmix levels, but no program mixing.
TEST(AC3PlusTreeTest, DependentThreeTwoFrameWithDownmixLevels) {
  TAC3PlusFrame F = PlainOnJunk();
  F.strmtyp = 1, F.substreamid = 1, F.frmsiz = 255, F.fscod = 1, F.numblkscod = 1, F.acmod = 7, F.lfeon = 1;
  F.dialnorm = 24, F.chanmape = 1, F.chanmap = 0xA000;
  F.mixmdate = 1, F.dmixmod = 3, F.ltrtcmixlev = 1, F.lorocmixlev = 2, F.ltrtsurmixlev = 5, F.lorosurmixlev = 6;
  F.lfemixlevcode = 0;
  F.infomdate = 1, F.bsmod = 7, F.copyrightb = 0, F.origbs = 1, F.dsurexmod = 3, F.audprodie = 0;
  F.sourcefscod = 0;

  const TTexts Expected = {
      Row(u"strmtyp", u" : 1 [Type 1] (2 bits)"),
      Row(u"substreamid", u" : 1 (3 bits)"),
      Row(u"frmsiz", u" : 255 [512 bytes] (11 bits)"),
      Row(u"fscod", u" : 1 [44100 Hz] (2 bits)"),
      Row(u"numblkscod", u" : 1 (2 bits)"),
      Row(u"acmod", u" : 7 (3 bits)"),
      Row(u"lfeon", u" : 1 (1 bit)"),
      Row(u"bsid", u" : 16 (5 bits)"),
      Row(u"dialnorm", u" : 24 (5 bits)"),
      Row(u"compre", u" : 0 (1 bit)"),
      Row(u"chanmape", u" : 1 (1 bit)"),
      Row(u"chanmap", u" : 40960 (16 bits)"),
      Row(u"mixmdate", u" : 1 (1 bit)"),
      Row(u"dmixmod", u" : 3 (2 bits)"),
      Row(u"ltrtcmixlev", u" : 1 (3 bits)"),
      Row(u"lorocmixlev", u" : 2 (3 bits)"),
      Row(u"ltrtsurmixlev", u" : 5 (3 bits)"),
      Row(u"lorosurmixlev", u" : 6 (3 bits)"),
      Row(u"lfemixlevcode", u" : 0 (1 bit)"),
      Row(u"infomdate", u" : 1 (1 bit)"),
      Row(u"bsmod", u" : 7 (3 bits)"),
      Row(u"copyrightb", u" : 0 (1 bit)"),
      Row(u"origbs", u" : 1 (1 bit)"),
      Row(u"dsurexmod", u" : 3 (2 bits)"),
      Row(u"audprodie", u" : 0 (1 bit)"),
      Row(u"sourcefscod", u" : 0 (1 bit)"),
      Row(u"addbsie", u" : 0 (1 bit)"),
  };
  EXPECT_EQ(Printable(BsiTexts(F)), Printable(Expected));
}

// Branches shown as the labels of "bsi()" and a few exact lines.
struct TBranchCase {
  const char* Name;
  void (*Setup)(TAC3PlusFrame&);
  TTexts Labels;
  TTexts Lines;  // each must appear among the children of "bsi()"
};

const TTexts PlainLabels = {u"strmtyp", u"substreamid", u"frmsiz", u"fscod",    u"numblkscod", u"acmod", u"lfeon",
                            u"bsid",    u"dialnorm",    u"compre", u"mixmdate", u"infomdate",  u"addbsie"};

TTexts PlainLabelsWith(std::initializer_list<std::pair<const char16_t*, TTexts>> After) {
  TTexts Result = PlainLabels;
  for (const auto& [Anchor, Inserted] : After) {
    auto Where = std::find(Result.begin(), Result.end(), Anchor);
    Result.insert(Where + 1, Inserted.begin(), Inserted.end());
  }
  return Result;
}

std::vector<TBranchCase> BranchCases() {
  return {
      {"FewerBlocksShowConvsync", [](TAC3PlusFrame& F) { F.numblkscod = 2; },
       PlainLabelsWith({{u"infomdate", {u"convsync"}}}), {Row(u"numblkscod", u" : 2 (2 bits)")}},
      {"ReducedRate",
       [](TAC3PlusFrame& F) { F.fscod = 3, F.fscod2 = 1; },
       PlainLabelsWith({{u"fscod", {u"fscod2"}}}),
       {Row(u"fscod", u" : 3 [Unknown] (2 bits)"), Row(u"fscod2", u" : 1 [22050 Hz] (2 bits)"),
        Row(u"numblkscod", u" : 3")}},
      {"ReducedRateHasNoSourcefscod",
       [](TAC3PlusFrame& F) { F.fscod = 3, F.fscod2 = 2, F.infomdate = 1, F.audprodie = 0; },
       PlainLabelsWith({{u"fscod", {u"fscod2"}},
                        {u"infomdate", {u"bsmod", u"copyrightb", u"origbs", u"dsurmod", u"dheadphonmod", u"audprodie"}}}),
       {Row(u"fscod2", u" : 2 [16000 Hz] (2 bits)")}},
      {"StrmtypTwoSixBlocks",
       [](TAC3PlusFrame& F) { F.strmtyp = 2, F.blkid = 1, F.frmsizecod = 37; },
       PlainLabelsWith({{u"infomdate", {u"blkid", u"frmsizecod"}}}),
       {Row(u"strmtyp", u" : 2 [Type 2] (2 bits)"), Row(u"blkid", u" : 1"), Row(u"frmsizecod", u" : 37 (6 bits)")}},
      {"StrmtypTwoCodedBlkid",
       [](TAC3PlusFrame& F) { F.strmtyp = 2, F.numblkscod = 1, F.blkid = 0; },
       PlainLabelsWith({{u"infomdate", {u"blkid"}}}), {Row(u"blkid", u" : 0 (1 bit)")}},
      {"StrmtypThreeMeaning", [](TAC3PlusFrame& F) { F.strmtyp = 3; }, PlainLabels,
       {Row(u"strmtyp", u" : 3 [Type 3] (2 bits)")}},
      {"DependentWithoutChanmap", [](TAC3PlusFrame& F) { F.strmtyp = 1, F.chanmape = 0; },
       PlainLabelsWith({{u"compre", {u"chanmape"}}}), {Row(u"chanmape", u" : 0 (1 bit)")}},
      {"DependentMixingHasNoProgramMixing",
       [](TAC3PlusFrame& F) { F.strmtyp = 1, F.chanmape = 0, F.mixmdate = 1, F.acmod = 7, F.lfeon = 1, F.lfemixlevcode = 1; },
       PlainLabelsWith({{u"compre", {u"chanmape"}},
                        {u"mixmdate", {u"dmixmod", u"ltrtcmixlev", u"lorocmixlev", u"ltrtsurmixlev", u"lorosurmixlev",
                                       u"lfemixlevcode", u"lfemixlevcod"}}}),
       {}},
      {"MixdefOne",
       [](TAC3PlusFrame& F) {
         F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 1, F.premixcmpsel = 0, F.drcsrc = 1;
         F.premixcmpscl = 4, F.frmmixcfginfoe = 0;
       },
       PlainLabelsWith({{u"mixmdate", {u"pgmscle", u"extpgmscle", u"mixdef", u"premixcmpsel", u"drcsrc",
                                       u"premixcmpscl", u"frmmixcfginfoe"}}}),
       {Row(u"premixcmpscl", u" : 4 (3 bits)")}},
      {"MixdefTwo",
       [](TAC3PlusFrame& F) { F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 2, F.mixdata = 0xABC, F.frmmixcfginfoe = 0; },
       PlainLabelsWith({{u"mixmdate", {u"pgmscle", u"extpgmscle", u"mixdef", u"mixdata", u"frmmixcfginfoe"}}}),
       {Row(u"mixdata", u" : 2748 (12 bits)")}},
      {"MixdefThreeWithoutSubFields",
       [](TAC3PlusFrame& F) {
         F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 3, F.mixdeflen = 0, F.mixdata2e = 0;
         F.mixdata3e = 0, F.mixdatafill = 0, F.frmmixcfginfoe = 0;
       },
       PlainLabelsWith({{u"mixmdate", {u"pgmscle", u"extpgmscle", u"mixdef", u"mixdeflen", u"mixdata2e", u"mixdata3e",
                                       u"mixdata", u"mixdatafill", u"frmmixcfginfoe"}}}),
       {u"mixdata              : ", u"mixdatafill          : 0"}},
      {"SpeechChannelWithoutSecond",
       [](TAC3PlusFrame& F) {
         F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 3, F.mixdeflen = 1, F.mixdata2e = 1;
         F.premixcmpsel = 0, F.drcsrc = 0, F.premixcmpscl = 0, F.extpgmlscle = 0, F.extpgmcscle = 0;
         F.extpgmrscle = 0, F.extpgmlsscle = 0, F.extpgmrsscle = 0, F.extpgmlfescle = 0, F.dmixscle = 0, F.addche = 0;
         F.mixdata3e = 1, F.spchdat = 3, F.addspchdate = 1, F.spchdat1 = 4, F.spchan1att = 1, F.addspchdat1e = 0;
         F.mixdatafill = 0, F.frmmixcfginfoe = 0;
       },
       PlainLabelsWith({{u"mixmdate",
                         {u"pgmscle", u"extpgmscle", u"mixdef", u"mixdeflen", u"mixdata2e", u"premixcmpsel", u"drcsrc",
                          u"premixcmpscl", u"extpgmlscle", u"extpgmcscle", u"extpgmrscle", u"extpgmlsscle",
                          u"extpgmrsscle", u"extpgmlfescle", u"dmixscle", u"addche", u"mixdata3e", u"spchdat",
                          u"addspchdate", u"spchdat1", u"spchan1att", u"addspchdat1e", u"mixdata", u"mixdatafill",
                          u"frmmixcfginfoe"}}}),
       {}},
      {"MonoPanInfo",
       [](TAC3PlusFrame& F) {
         F.acmod = 1, F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 0, F.paninfoe = 1, F.panmean = 9;
         F.paninfo = 12, F.frmmixcfginfoe = 0;
       },
       PlainLabelsWith({{u"mixmdate", {u"pgmscle", u"extpgmscle", u"mixdef", u"paninfoe", u"panmean", u"paninfoe_2",
                                       u"frmmixcfginfoe"}}}),
       {Row(u"paninfoe_2", u" : 12 (6 bits)")}},
      {"BlockMixConfigGetsNoNodeWithSeveralBlocks",
       [](TAC3PlusFrame& F) {
         F.numblkscod = 1, F.mixmdate = 1, F.pgmscle = 0, F.extpgmscle = 0, F.mixdef = 0, F.frmmixcfginfoe = 1;
         F.convsync = 0;
       },
       PlainLabelsWith({{u"mixmdate", {u"pgmscle", u"extpgmscle", u"mixdef", u"frmmixcfginfoe"}},
                        {u"infomdate", {u"convsync"}}}),
       {}},
      {"StereoInformational",
       [](TAC3PlusFrame& F) {
         F.infomdate = 1, F.bsmod = 0, F.copyrightb = 0, F.origbs = 0, F.dsurmod = 2, F.dheadphonmod = 3;
         F.audprodie = 0, F.sourcefscod = 0;
       },
       PlainLabelsWith(
           {{u"infomdate", {u"bsmod", u"copyrightb", u"origbs", u"dsurmod", u"dheadphonmod", u"audprodie", u"sourcefscod"}}}),
       {Row(u"dsurmod", u" : 2 (2 bits)"), Row(u"dheadphonmod", u" : 3 (2 bits)")}},
      {"TwoTwoInformationalHasSurroundExMode",
       [](TAC3PlusFrame& F) {
         F.acmod = 6, F.infomdate = 1, F.bsmod = 0, F.copyrightb = 0, F.origbs = 0, F.dsurexmod = 1, F.audprodie = 0;
         F.sourcefscod = 0;
       },
       PlainLabelsWith({{u"infomdate", {u"bsmod", u"copyrightb", u"origbs", u"dsurexmod", u"audprodie", u"sourcefscod"}}}),
       {}},
      {"AdditionalBsiBytesGetNoNode",
       [](TAC3PlusFrame& F) { F.addbsie = 1, F.addbsil = 63; }, PlainLabelsWith({{u"addbsie", {u"addbsil"}}}),
       {Row(u"addbsil", u" : 63 (6 bits)")}},
  };
}

class AC3PlusTreeBranchTest : public testing::TestWithParam<TBranchCase> {};

TEST_P(AC3PlusTreeBranchTest, ShowsTheNodesOfTheBranch) {
  TAC3PlusFrame F = PlainOnJunk();
  GetParam().Setup(F);
  const TTexts Texts = BsiTexts(F);
  EXPECT_EQ(Printable(Labels(Texts)), Printable(GetParam().Labels));
  for (const std::u16string& Line : GetParam().Lines)
    EXPECT_NE(std::find(Texts.begin(), Texts.end(), Line), Texts.end()) << ToUtf8(Line);
}

INSTANTIATE_TEST_SUITE_P(Branches, AC3PlusTreeBranchTest, testing::ValuesIn(BranchCases()),
                         [](const testing::TestParamInfo<TBranchCase>& Info) { return Info.param.Name; });

TEST(AC3PlusTreeTest, StructureNodesStayEmpty) {
  TTreeModel Tree;
  UpdateTreeView_ac3_plus_frame(&Tree, PlainOnJunk());
  const TTreeModel::TNodeId Root = Tree.Roots().at(0);
  ASSERT_EQ(Tree.Node(Root).Children.size(), 6u);
  for (const char16_t* Name : {u"audfrm()", u"auxdata()", u"errorcheck()"}) {
    const TTreeModel::TNodeId Node = ChildByText(Tree, Root, Name);
    ASSERT_NE(Node, TTreeModel::NoNode) << ToUtf8(Name);
    EXPECT_TRUE(Tree.Node(Node).Children.empty());
  }
}

// The start of the first audio block: the per-channel flags only where audfrm() says they are
// sent, the dynamic range words where their flags are set, the second ones for 1+1 only.
TEST(AC3PlusTreeTest, FirstAudioBlockShowsWhatAudfrmAndItsFlagsSend) {
  struct TCase {
    const char* Name;
    uint32_t acmod, blkswe, dithflage, dynrnge, dynrng, dynrng2e, dynrng2;
    TTexts Expected;
  };
  const TCase Cases[] = {
      {"NoFlagsNoGain", 2, 0, 0, 0, 0, 0, 0, {Row(u"dynrnge", u" : 0 (1 bit)")}},
      {"MonoBlockSwitchFlagsAndGain", 1, 1, 0, 1, 0xE0, 0, 0,
       {Row(u"blksw[0]", u" : 1 (1 bit)"), Row(u"dynrnge", u" : 1 (1 bit)"),
        Row(u"dynrng", u" : 224 [\u20136.02 dB] (8 bits)")}},
      {"StereoDitherFlags", 2, 0, 1, 0, 0, 0, 0,
       {Row(u"dithflag[0]", u" : 0 (1 bit)"), Row(u"dithflag[1]", u" : 1 (1 bit)"), Row(u"dynrnge", u" : 0 (1 bit)")}},
      {"OnePlusOneSecondGain", 0, 0, 0, 0, 0, 1, 0x3F,
       {Row(u"dynrnge", u" : 0 (1 bit)"), Row(u"dynrng2e", u" : 1 (1 bit)"),
        Row(u"dynrng2", u" : 63 [11.90 dB] (8 bits)")}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TAC3PlusFrame F = PlainOnJunk();
    F.acmod = Case.acmod, F.blkswe = Case.blkswe, F.dithflage = Case.dithflage, F.dynrnge = Case.dynrnge;
    F.dynrng = Case.dynrng, F.dynrng2e = Case.dynrng2e, F.dynrng2 = Case.dynrng2;
    F.blksw[0] = 1, F.dithflag[0] = 0, F.dithflag[1] = 1;
    if (Case.acmod == 0) F.dialnorm2 = 31, F.compr2e = 0, F.paninfoe = 0, F.paninfo2e = 0;
    TTreeModel Tree;
    UpdateTreeView_ac3_plus_frame(&Tree, F);
    TTexts Texts;
    for (TTreeModel::TNodeId Child : Tree.Node(ChildByText(Tree, Tree.Roots().at(0), u"audblk()")).Children)
      Texts.push_back(Tree.Node(Child).Text);
    EXPECT_EQ(Printable(Texts), Printable(Case.Expected));
  }
}

// The first frame of a stream an encoder made with downmix and production metadata, decoded
// and shown.
TEST(AC3PlusTreeTest, EncodedFrameWithMetadata) {
  const std::vector<uint8_t> Stream = test::ReadTestFile(test::TestDataPath("eac3_51_48k_meta.eac3"));
  TAC3PlusFrame F{};
  ASSERT_TRUE(parse_ac3_plus_frame(Stream.data(), static_cast<int32_t>(Stream.size()), F));
  const TTexts Expected = {
      Row(u"strmtyp", u" : 0 [Type 0] (2 bits)"),
      Row(u"substreamid", u" : 0 (3 bits)"),
      Row(u"frmsiz", u" : 511 [1024 bytes] (11 bits)"),
      Row(u"fscod", u" : 0 [48000 Hz] (2 bits)"),
      Row(u"numblkscod", u" : 3 (2 bits)"),
      Row(u"acmod", u" : 7 (3 bits)"),
      Row(u"lfeon", u" : 1 (1 bit)"),
      Row(u"bsid", u" : 16 (5 bits)"),
      Row(u"dialnorm", u" : 27 (5 bits)"),
      Row(u"compre", u" : 0 (1 bit)"),
      Row(u"mixmdate", u" : 1 (1 bit)"),
      Row(u"dmixmod", u" : 2 (2 bits)"),
      Row(u"ltrtcmixlev", u" : 4 (3 bits)"),
      Row(u"lorocmixlev", u" : 5 (3 bits)"),
      Row(u"ltrtsurmixlev", u" : 6 (3 bits)"),
      Row(u"lorosurmixlev", u" : 6 (3 bits)"),
      Row(u"lfemixlevcode", u" : 0 (1 bit)"),
      Row(u"pgmscle", u" : 0 (1 bit)"),
      Row(u"extpgmscle", u" : 0 (1 bit)"),
      Row(u"mixdef", u" : 0 (2 bits)"),
      Row(u"frmmixcfginfoe", u" : 0 (1 bit)"),
      Row(u"infomdate", u" : 1 (1 bit)"),
      Row(u"bsmod", u" : 0 (3 bits)"),
      Row(u"copyrightb", u" : 1 (1 bit)"),
      Row(u"origbs", u" : 0 (1 bit)"),
      Row(u"dsurexmod", u" : 2 (2 bits)"),
      Row(u"audprodie", u" : 1 (1 bit)"),
      Row(u"mixlevel", u" : 25 (5 bits)"),
      Row(u"roomtyp", u" : 2 (2 bits)"),
      Row(u"adconvtyp", u" : 1 (1 bit)"),
      Row(u"sourcefscod", u" : 0 (1 bit)"),
      Row(u"addbsie", u" : 0 (1 bit)"),
  };
  EXPECT_EQ(Printable(BsiTexts(F)), Printable(Expected));
}

}  // namespace
}  // namespace corvane
