// The E-AC-3 syntax tree: one node per syncinfo()/bsi() element the frame carries, under the
// same conditions the decoder reads them, then the empty structure nodes of the rest of the
// frame. The per-block mixing configuration, the mixing data bytes and the additional bsi
// bytes are decoded but get no node.

#include "analysis/AC3PlusUtils.h"
#include "analysis/SyntaxNodeText.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

// Adds the element nodes under "bsi()".
class TBsiNodes {
 public:
  TBsiNodes(TTreeModel& Tree, TTreeModel::TNodeId Bsi) : FTree(Tree), FBsi(Bsi) {}

  void Add(std::u16string Text) { FTree.AddChild(FBsi, std::move(Text)); }
  void Add(const char16_t* Name, uint32_t Value, int32_t Bits) { Add(ElementText(Name, Value, Bits)); }
  void Add(const char16_t* Name, uint32_t Value, const std::u16string& Meaning, int32_t Bits) {
    Add(ElementText(Name, Value, Meaning, Bits));
  }
  // A 1-bit flag and, when it is set, its value.
  void AddFlagged(const char16_t* FlagName, uint32_t Flag, const char16_t* ValueName, uint32_t Value,
                  int32_t Bits) {
    Add(FlagName, Flag, 1);
    if (Flag) Add(ValueName, Value, Bits);
  }

 private:
  TTreeModel& FTree;
  TTreeModel::TNodeId FBsi;
};

void AddCore(TBsiNodes& N, const TAC3PlusFrame& F) {
  N.Add(u"strmtyp", F.strmtyp, StrmtypToStr(static_cast<int32_t>(F.strmtyp)), 2);
  N.Add(u"substreamid", F.substreamid, 3);
  N.Add(u"frmsiz", F.frmsiz, UIntToStr((uint64_t{F.frmsiz} + 1) * 2) + u" bytes", 11);
  N.Add(u"fscod", F.fscod, FscodToStr(static_cast<int32_t>(F.fscod)), 2);
  if (F.fscod == 3) {
    N.Add(u"fscod2", F.fscod2, Fscod2ToStr(static_cast<int32_t>(F.fscod2)), 2);
    N.Add(ElementTextNoWidth(u"numblkscod", F.numblkscod));
  } else {
    N.Add(u"numblkscod", F.numblkscod, 2);
  }
  N.Add(u"acmod", F.acmod, 3);
  N.Add(u"lfeon", F.lfeon, 1);
  N.Add(u"bsid", F.bsid, 5);
  N.Add(u"dialnorm", F.dialnorm, 5);
  N.AddFlagged(u"compre", F.compre, u"compr", F.compr, 8);
  if (F.acmod == 0) {
    N.Add(u"dialnorm2", F.dialnorm2, 5);
    N.AddFlagged(u"compr2e", F.compr2e, u"compr2", F.compr2, 8);
  }
  if (F.strmtyp == 1) N.AddFlagged(u"chanmape", F.chanmape, u"chanmap", F.chanmap, 16);
}

void AddMixingDataBlock(TBsiNodes& N, const TAC3PlusFrame& F) {
  N.Add(u"mixdeflen", F.mixdeflen, 5);
  N.Add(u"mixdata2e", F.mixdata2e, 1);
  if (F.mixdata2e) {
    N.Add(u"premixcmpsel", F.premixcmpsel, 1);
    N.Add(u"drcsrc", F.drcsrc, 1);
    N.Add(u"premixcmpscl", F.premixcmpscl, 3);
    N.AddFlagged(u"extpgmlscle", F.extpgmlscle, u"extpgmlscl", F.extpgmlscl, 4);
    N.AddFlagged(u"extpgmcscle", F.extpgmcscle, u"extpgmcscl", F.extpgmcscl, 4);
    N.AddFlagged(u"extpgmrscle", F.extpgmrscle, u"extpgmrscl", F.extpgmrscl, 4);
    N.AddFlagged(u"extpgmlsscle", F.extpgmlsscle, u"extpgmlscl_2", F.extpgmlsscl, 4);
    N.AddFlagged(u"extpgmrsscle", F.extpgmrsscle, u"extpgmrsscl", F.extpgmrsscl, 4);
    N.AddFlagged(u"extpgmlfescle", F.extpgmlfescle, u"extpgmlfescl", F.extpgmlfescl, 4);
    N.AddFlagged(u"dmixscle", F.dmixscle, u"dmixscl", F.dmixscl, 4);
    N.Add(u"addche", F.addche, 1);
    if (F.addche) {
      N.AddFlagged(u"extpgmaux1scle", F.extpgmaux1scle, u"extpgmaux1scl", F.extpgmaux1scl, 4);
      N.AddFlagged(u"extpgmaux2scle", F.extpgmaux2scle, u"extpgmaux2scl", F.extpgmaux2scl, 4);
    }
  }
  N.Add(u"mixdata3e", F.mixdata3e, 1);
  if (F.mixdata3e) {
    N.Add(u"spchdat", F.spchdat, 5);
    N.Add(u"addspchdate", F.addspchdate, 1);
    if (F.addspchdate) {
      N.Add(u"spchdat1", F.spchdat1, 5);
      N.Add(u"spchan1att", F.spchan1att, 2);
      N.Add(u"addspchdat1e", F.addspchdat1e, 1);
      if (F.addspchdat1e) {
        N.Add(u"spchdat2", F.spchdat2, 5);
        N.Add(u"spchan2att", F.spchan2att, 3);
      }
    }
  }
  N.Add(PadRight(u"mixdata", SyntaxLabelWidth) + u" : ");
  N.Add(ElementTextNoWidth(u"mixdatafill", F.mixdatafill));
}

void AddProgramMixing(TBsiNodes& N, const TAC3PlusFrame& F) {
  N.AddFlagged(u"pgmscle", F.pgmscle, u"pgmscl", F.pgmscl, 6);
  if (F.acmod == 0) N.AddFlagged(u"pgmscl2e", F.pgmscl2e, u"pgmscl2", F.pgmscl2, 6);
  N.AddFlagged(u"extpgmscle", F.extpgmscle, u"extpgmscl", F.extpgmscl, 6);
  N.Add(u"mixdef", F.mixdef, 2);
  if (F.mixdef == 1) {
    N.Add(u"premixcmpsel", F.premixcmpsel, 1);
    N.Add(u"drcsrc", F.drcsrc, 1);
    N.Add(u"premixcmpscl", F.premixcmpscl, 3);
  } else if (F.mixdef == 2) {
    N.Add(u"mixdata", F.mixdata, 12);
  } else if (F.mixdef == 3) {
    AddMixingDataBlock(N, F);
  }
  if (F.acmod < 2) {
    N.Add(u"paninfoe", F.paninfoe, 1);
    if (F.paninfoe) {
      N.Add(u"panmean", F.panmean, 8);
      N.Add(u"paninfoe_2", F.paninfo, 6);
    }
    if (F.acmod == 0) {
      N.Add(u"paninfo2e", F.paninfo2e, 1);
      if (F.paninfo2e) {
        N.Add(u"panmean2", F.panmean2, 8);
        N.Add(u"paninfo2", F.paninfo2, 6);
      }
    }
  }
  N.Add(u"frmmixcfginfoe", F.frmmixcfginfoe, 1);
  if (F.frmmixcfginfoe && F.numblkscod == 0) N.Add(u"blkmixcfginfo[0]", F.blkmixcfginfo[0], 5);
}

void AddMixingMetadata(TBsiNodes& N, const TAC3PlusFrame& F) {
  N.Add(u"mixmdate", F.mixmdate, 1);
  if (!F.mixmdate) return;
  if (F.acmod > 2) N.Add(u"dmixmod", F.dmixmod, 2);
  if ((F.acmod & 1) && F.acmod > 2) {
    N.Add(u"ltrtcmixlev", F.ltrtcmixlev, 3);
    N.Add(u"lorocmixlev", F.lorocmixlev, 3);
  }
  if (F.acmod & 4) {
    N.Add(u"ltrtsurmixlev", F.ltrtsurmixlev, 3);
    N.Add(u"lorosurmixlev", F.lorosurmixlev, 3);
  }
  if (F.lfeon) N.AddFlagged(u"lfemixlevcode", F.lfemixlevcode, u"lfemixlevcod", F.lfemixlevcod, 5);
  if (F.strmtyp == 0) AddProgramMixing(N, F);
}

void AddInformationalMetadata(TBsiNodes& N, const TAC3PlusFrame& F) {
  N.Add(u"infomdate", F.infomdate, 1);
  if (!F.infomdate) return;
  N.Add(u"bsmod", F.bsmod, 3);
  N.Add(u"copyrightb", F.copyrightb, 1);
  N.Add(u"origbs", F.origbs, 1);
  if (F.acmod == 2) {
    N.Add(u"dsurmod", F.dsurmod, 2);
    N.Add(u"dheadphonmod", F.dheadphonmod, 2);
  }
  if (F.acmod >= 6) N.Add(u"dsurexmod", F.dsurexmod, 2);
  N.Add(u"audprodie", F.audprodie, 1);
  if (F.audprodie) {
    N.Add(u"mixlevel", F.mixlevel, 5);
    N.Add(u"roomtyp", F.roomtyp, 2);
    N.Add(u"adconvtyp", F.adconvtyp, 1);
  }
  if (F.acmod == 0) {
    N.Add(u"audprodi2e", F.audprodi2e, 1);
    if (F.audprodi2e) {
      N.Add(u"mixlevel2", F.mixlevel2, 5);
      N.Add(u"roomtyp2", F.roomtyp2, 2);
      N.Add(u"adconvtyp2", F.adconvtyp2, 1);
    }
  }
  if (F.fscod < 3) N.Add(u"sourcefscod", F.sourcefscod, 1);
}

void AddTail(TBsiNodes& N, const TAC3PlusFrame& F) {
  if (F.strmtyp == 0 && F.numblkscod != 3) N.Add(u"convsync", F.convsync, 1);
  if (F.strmtyp == 2) {
    // With six blocks blkid is not coded but set to 1, so it has no width.
    if (F.numblkscod == 3)
      N.Add(ElementTextNoWidth(u"blkid", F.blkid));
    else
      N.Add(u"blkid", F.blkid, 1);
    if (F.blkid) N.Add(u"frmsizecod", F.frmsizecod, 6);
  }
  N.AddFlagged(u"addbsie", F.addbsie, u"addbsil", F.addbsil, 6);
}

}  // namespace

void UpdateTreeView_ac3_plus_frame(TTreeModel* TreeView, const TAC3PlusFrame& Frame) {
  if (TreeView == nullptr) return;
  try {
    TreeView->Clear();
    const auto Root = TreeView->AddFirst(PadRight(u"eac3_syncframe()", SyntaxLabelWidth));
    const auto SyncInfo = TreeView->AddChild(Root, PadRight(u"syncinfo()", SyntaxLabelWidth));
    TreeView->AddChild(SyncInfo, HexWordText(u"syncword", Frame.syncword));

    TBsiNodes Bsi(*TreeView, TreeView->AddChild(Root, u"bsi()"));
    AddCore(Bsi, Frame);
    AddMixingMetadata(Bsi, Frame);
    AddInformationalMetadata(Bsi, Frame);
    AddTail(Bsi, Frame);

    for (const char16_t* Structure : {u"audfrm()", u"audblk()", u"auxdata()", u"errorcheck()"})
      TreeView->AddChild(Root, Structure);
    TreeView->Expand(Root);
    TreeView->Expand(SyncInfo);
  } catch (...) {
    DebugLog(u"nox: Error in UpdateTreeView_ac3_plus_frame call...");
  }
}

}  // namespace corvane
