#include <algorithm>

#include "analysis/AC3Utils.h"
#include "analysis/SyntaxNodeText.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

// Hex-dump lines of addbsi pad their hex part to this width before the character column.
constexpr int32_t AddbsiDumpWidth = 60;

// "frmsizecod : n [<words> words] (6 bits)", or "[reserved]" where A/52 codes no size.
std::u16string FrmsizecodText(const TAC3Frame& Frame) {
  const int32_t Bytes = AC3FrameSizeBytes(Frame.fscod, Frame.frmsizecod);
  const std::u16string Meaning = Bytes == 0 ? std::u16string(u"reserved") : IntToStr(Bytes / 2) + u" words";
  return ElementText(u"frmsizecod", Frame.frmsizecod, Meaning, 6);
}

void AddSyncInfo(TTreeModel& Tree, TTreeModel::TNodeId Root, const TAC3Frame& Frame) {
  const auto Node = Tree.AddChild(Root, PadRight(u"syncinfo()", SyntaxLabelWidth));
  Tree.AddChild(Node, HexWordText(u"syncword", Frame.syncword));
  Tree.AddChild(Node, HexWordText(u"crc1", Frame.crc1));
  Tree.AddChild(Node, ElementText(u"fscod", Frame.fscod, FscodToStr(static_cast<int32_t>(Frame.fscod)), 2));
  Tree.AddChild(Node, FrmsizecodText(Frame));
  Tree.Expand(Node);
}

void AddBsi(TTreeModel& Tree, TTreeModel::TNodeId Root, const TAC3Frame& Frame) {
  const auto Node = Tree.AddChild(Root, u"bsi()");
  const auto Add = [&](std::u16string Text) { Tree.AddChild(Node, std::move(Text)); };
  const auto acmod = static_cast<int32_t>(Frame.acmod);

  Add(ElementText(u"bsid", Frame.bsid, 5));
  Add(ElementText(u"bsmod", Frame.bsmod, BsmodToStr(static_cast<int32_t>(Frame.bsmod), acmod), 3));
  Add(ElementText(u"acmod", Frame.acmod, AcmodToStr(acmod), 3));
  if ((Frame.acmod & 1) != 0 && Frame.acmod != 1)
    Add(ElementText(u"cmixlev", Frame.cmixlev, CmixlevToStr(static_cast<int32_t>(Frame.cmixlev)), 2));
  if ((Frame.acmod & 4) != 0)
    Add(ElementText(u"surmixlev", Frame.surmixlev, SurmixlevToStr(static_cast<int32_t>(Frame.surmixlev)), 2));
  if (Frame.acmod == 2)
    Add(ElementText(u"dsurmod", Frame.dsurmod, DsurmodToStr(static_cast<int32_t>(Frame.dsurmod)), 2));
  Add(ElementText(u"lfeon", Frame.lfeon, 1));
  Add(ElementText(u"dialnorm", Frame.dialnorm, 5));
  Add(ElementText(u"compre", Frame.compre, 1));
  if (Frame.compre != 0) Add(ElementText(u"compr", Frame.compr, 8));
  Add(ElementText(u"langcode", Frame.langcode, 1));
  if (Frame.langcode != 0) Add(ElementText(u"langcod", Frame.langcod, 8));
  Add(ElementText(u"audprodie", Frame.audprodie, 1));
  if (Frame.audprodie != 0) {
    Add(ElementText(u"mixlevel", Frame.mixlevel, 5));
    Add(ElementText(u"roomtyp", Frame.roomtyp, RoomtypToStr(static_cast<int32_t>(Frame.roomtyp)), 2));
  }
  if (Frame.acmod == 0) {
    Add(ElementText(u"dialnorm2", Frame.dialnorm2, 5));
    Add(ElementText(u"compr2e", Frame.compr2e, 1));
    if (Frame.compr2e != 0) Add(ElementText(u"compr2", Frame.compr2, 8));
    Add(ElementText(u"langcod2e", Frame.langcod2e, 1));
    if (Frame.langcod2e != 0) Add(ElementText(u"langcod2", Frame.langcod2, 8));
    Add(ElementText(u"audprodi2e", Frame.audprodi2e, 1));
    if (Frame.audprodi2e != 0) {
      Add(ElementText(u"mixlevel2", Frame.mixlevel2, 5));
      Add(ElementText(u"roomtyp2", Frame.roomtyp2, 2));
    }
  }
  Add(ElementText(u"copyrightb", Frame.copyrightb, 1));
  Add(ElementText(u"origbs", Frame.origbs, 1));
  Add(ElementText(u"timecod1e", Frame.timecod1e, 1));
  if (Frame.timecod1e != 0) Add(ElementText(u"timecod1", Frame.timecod1, 14));
  Add(ElementText(u"timecod2e", Frame.timecod2e, 1));
  if (Frame.timecod2e != 0) Add(ElementText(u"timecod2", Frame.timecod2, 14));
  Add(ElementText(u"addbsie", Frame.addbsie, 1));
  if (Frame.addbsie != 0) {
    Add(ElementText(u"addbsil", Frame.addbsil, 6));
    const auto Count = static_cast<int32_t>(std::min<uint32_t>(Frame.addbsil + 1, sizeof(Frame.addbsi)));
    MemToStrLinesShort(Frame.addbsi, Count, &Tree, AddbsiDumpWidth, Node);
  }
}

}  // namespace

void UpdateTreeView_ac3_frame(TTreeModel* TreeView, const TAC3Frame& Frame) {
  if (TreeView == nullptr) return;
  try {
    TreeView->Clear();
    const auto Root = TreeView->AddFirst(PadRight(u"ac3_syncframe()", SyntaxLabelWidth));
    AddSyncInfo(*TreeView, Root, Frame);
    AddBsi(*TreeView, Root, Frame);
    // The audio blocks and what follows them are not decoded; they appear by name only.
    TreeView->AddChild(Root, u"audblk()");
    TreeView->AddChild(Root, u"auxdata()");
    TreeView->AddChild(Root, u"errorcheck()");
    TreeView->Expand(Root);
  } catch (...) {
    DebugLog(u"nox: Error in UpdateTreeView_ac3_frame call...");
  }
}

}  // namespace corvane
