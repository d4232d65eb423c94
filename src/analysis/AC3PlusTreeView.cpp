// The E-AC-3 syntax tree: one node per syncinfo()/bsi() element the frame carries, under the
// same conditions the decoder reads them, audfrm() as one node over its bits, the start of the
// first audio block, then the empty structure nodes of the rest of the frame. The per-block
// mixing configuration, the mixing data bytes and the additional bsi bytes are decoded but get
// no node.

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/FieldNodes.h"
#include "analysis/SyntaxNodeText.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane {

void UpdateTreeView_ac3_plus_frame(TTreeModel* TreeView, const TAC3PlusFrame& Frame) {
  if (TreeView == nullptr) return;
  try {
    TreeView->Clear();
    const auto Root = TreeView->AddFirst(PadRight(u"eac3_syncframe()", SyntaxLabelWidth));
    TFieldNodes<TAC3PlusFrame> Nodes(*TreeView, Frame);

    const auto SyncInfo = TreeView->AddChild(Root, PadRight(u"syncinfo()", SyntaxLabelWidth));
    Nodes.SetParent(SyncInfo);
    AC3PlusSyncInfo(Nodes);

    Nodes.SetParent(TreeView->AddChild(Root, u"bsi()"));
    AC3PlusBsi(Nodes);

    // audfrm() has no nodes of its own; its node marks its bits.
    const auto Audfrm = TreeView->AddChild(Root, u"audfrm()");
    AC3PlusAudfrm(Nodes);
    if (const size_t Entry = Nodes.Find(TAC3PlusFieldId::audfrm, 0); Entry != Nodes.NotDecoded)
      TreeView->SetBits(Audfrm, Frame.Layout.Fields[Entry].BitOffset, Frame.Layout.BitWidth(Entry));
    // Of the audio blocks only the start of the first is decoded, up to its dynamic range words.
    Nodes.SetParent(TreeView->AddChild(Root, u"audblk()"));
    AC3PlusAudblkStart(Nodes);
    TreeView->AddChild(Root, u"auxdata()");
    TreeView->AddChild(Root, u"errorcheck()");
    TreeView->Expand(Root);
    TreeView->Expand(SyncInfo);
  } catch (...) {
    ReportCallFailure(u"UpdateTreeView_ac3_plus_frame");
  }
}

}  // namespace corvane
