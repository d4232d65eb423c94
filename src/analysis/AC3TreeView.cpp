#include <algorithm>
#include <iterator>

#include "analysis/AC3Syntax.h"
#include "analysis/AC3Utils.h"
#include "analysis/FieldNodes.h"
#include "analysis/SyntaxNodeText.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

// Hex-dump lines of addbsi pad their hex part to this width before the character column.
constexpr int32_t AddbsiDumpWidth = 60;
// Bytes per hex-dump line.
constexpr uint32_t AddbsiDumpBytes = 16;

// The additional bsi bytes as hex-dump lines under "bsi()", each line marked with the bits of
// the bytes it shows.
void AddAddbsiLines(TTreeModel& Tree, TTreeModel::TNodeId Bsi, TFieldNodes<TAC3Frame>& Nodes, const TAC3Frame& Frame) {
  const auto Count = static_cast<uint32_t>(std::min<size_t>(Frame.addbsil + 1, std::size(Frame.addbsi)));
  const size_t FirstLine = Tree.Node(Bsi).Children.size();
  MemToStrLinesShort(Frame.addbsi, static_cast<int32_t>(Count), &Tree, AddbsiDumpWidth, Bsi);
  const std::vector<TTreeModel::TNodeId> Lines(Tree.Node(Bsi).Children.begin() + static_cast<std::ptrdiff_t>(FirstLine),
                                               Tree.Node(Bsi).Children.end());
  for (size_t Line = 0; Line < Lines.size(); ++Line) {
    const auto First = static_cast<uint32_t>(Line) * AddbsiDumpBytes;
    const uint32_t Last = std::min(First + AddbsiDumpBytes, Count) - 1;
    const size_t Begin = Nodes.Find(TAC3FieldId::addbsi, First);
    const size_t End = Begin != Nodes.NotDecoded ? Nodes.Find(TAC3FieldId::addbsi, Last) : Nodes.NotDecoded;
    if (End == Nodes.NotDecoded) continue;
    const int32_t From = Frame.Layout.Fields[Begin].BitOffset;
    Tree.SetBits(Lines[Line], From, Frame.Layout.Fields[End].BitOffset + Frame.Layout.BitWidth(End) - From);
  }
}

}  // namespace

void UpdateTreeView_ac3_frame(TTreeModel* TreeView, const TAC3Frame& Frame) {
  if (TreeView == nullptr) return;
  try {
    TreeView->Clear();
    const auto Root = TreeView->AddFirst(PadRight(u"ac3_syncframe()", SyntaxLabelWidth));
    TFieldNodes<TAC3Frame> Nodes(*TreeView, Frame);

    const auto SyncInfo = TreeView->AddChild(Root, PadRight(u"syncinfo()", SyntaxLabelWidth));
    Nodes.SetParent(SyncInfo);
    AC3SyncInfo(Nodes);
    TreeView->Expand(SyncInfo);

    const auto Bsi = TreeView->AddChild(Root, u"bsi()");
    Nodes.SetParent(Bsi);
    AC3Bsi(Nodes);
    if (Frame.addbsie != 0) AddAddbsiLines(*TreeView, Bsi, Nodes, Frame);

    // Of the audio blocks only the start of the first is decoded, up to its dynamic range words;
    // what follows them appears by name only.
    Nodes.SetParent(TreeView->AddChild(Root, u"audblk()"));
    AC3AudblkStart(Nodes);
    TreeView->AddChild(Root, u"auxdata()");
    TreeView->AddChild(Root, u"errorcheck()");
    TreeView->Expand(Root);
  } catch (...) {
    ReportCallFailure(u"UpdateTreeView_ac3_frame");
  }
}

}  // namespace corvane
