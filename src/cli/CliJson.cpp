#include "cli/CliJson.h"

#include <algorithm>

#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane::cli {
namespace {

TJson BytesJson(const uint8_t* Bytes, size_t Count) {
  TJson Array = TJson::array();
  for (size_t Index = 0; Index < Count; ++Index) Array.push_back(Bytes[Index]);
  return Array;
}

TJson NodeJson(const TTreeModel& Tree, TTreeModel::TNodeId Id) {
  const TTreeModel::TNode& Node = Tree.Node(Id);
  TJson Children = TJson::array();
  for (TTreeModel::TNodeId Child : Node.Children) Children.push_back(NodeJson(Tree, Child));
  TJson Json;
  Json["text"] = TextJson(Node.Text);
  Json["children"] = std::move(Children);
  return Json;
}

}  // namespace

#define CORVANE_FIELD(Name) Json[#Name] = Frame.Name

TJson HeaderJson(const TAC3Frame& Frame) {
  TJson Json;
  CORVANE_FIELD(syncword);
  CORVANE_FIELD(crc1);
  CORVANE_FIELD(fscod);
  CORVANE_FIELD(frmsizecod);
  CORVANE_FIELD(bsid);
  CORVANE_FIELD(bsmod);
  CORVANE_FIELD(acmod);
  CORVANE_FIELD(cmixlev);
  CORVANE_FIELD(surmixlev);
  CORVANE_FIELD(dsurmod);
  CORVANE_FIELD(lfeon);
  CORVANE_FIELD(dialnorm);
  CORVANE_FIELD(compre);
  CORVANE_FIELD(compr);
  CORVANE_FIELD(langcode);
  CORVANE_FIELD(langcod);
  CORVANE_FIELD(audprodie);
  CORVANE_FIELD(mixlevel);
  CORVANE_FIELD(roomtyp);
  CORVANE_FIELD(dialnorm2);
  CORVANE_FIELD(compr2e);
  CORVANE_FIELD(compr2);
  CORVANE_FIELD(langcod2e);
  CORVANE_FIELD(langcod2);
  CORVANE_FIELD(audprodi2e);
  CORVANE_FIELD(mixlevel2);
  CORVANE_FIELD(roomtyp2);
  CORVANE_FIELD(copyrightb);
  CORVANE_FIELD(origbs);
  CORVANE_FIELD(timecod1e);
  CORVANE_FIELD(timecod1);
  CORVANE_FIELD(timecod2e);
  CORVANE_FIELD(timecod2);
  CORVANE_FIELD(addbsie);
  CORVANE_FIELD(addbsil);
  Json["addbsi"] = BytesJson(Frame.addbsi, Frame.addbsie ? std::min<size_t>(Frame.addbsil + 1u, sizeof(Frame.addbsi)) : 0);
  return Json;
}

TJson HeaderJson(const TAC3PlusFrame& Frame) {
  TJson Json;
  CORVANE_FIELD(syncword);
  CORVANE_FIELD(strmtyp);
  CORVANE_FIELD(substreamid);
  CORVANE_FIELD(frmsiz);
  CORVANE_FIELD(fscod);
  CORVANE_FIELD(fscod2);
  CORVANE_FIELD(numblkscod);
  CORVANE_FIELD(acmod);
  CORVANE_FIELD(lfeon);
  CORVANE_FIELD(bsid);
  CORVANE_FIELD(dialnorm);
  CORVANE_FIELD(compre);
  CORVANE_FIELD(compr);
  CORVANE_FIELD(dialnorm2);
  CORVANE_FIELD(compr2e);
  CORVANE_FIELD(compr2);
  CORVANE_FIELD(chanmape);
  CORVANE_FIELD(chanmap);
  CORVANE_FIELD(mixmdate);
  CORVANE_FIELD(dmixmod);
  CORVANE_FIELD(ltrtcmixlev);
  CORVANE_FIELD(lorocmixlev);
  CORVANE_FIELD(ltrtsurmixlev);
  CORVANE_FIELD(lorosurmixlev);
  CORVANE_FIELD(lfemixlevcode);
  CORVANE_FIELD(lfemixlevcod);
  CORVANE_FIELD(pgmscle);
  CORVANE_FIELD(pgmscl);
  CORVANE_FIELD(pgmscl2e);
  CORVANE_FIELD(pgmscl2);
  CORVANE_FIELD(extpgmscle);
  CORVANE_FIELD(extpgmscl);
  CORVANE_FIELD(mixdef);
  CORVANE_FIELD(premixcmpsel);
  CORVANE_FIELD(drcsrc);
  CORVANE_FIELD(premixcmpscl);
  CORVANE_FIELD(mixdata);
  CORVANE_FIELD(mixdeflen);
  CORVANE_FIELD(mixdata2e);
  CORVANE_FIELD(extpgmlscle);
  CORVANE_FIELD(extpgmlscl);
  CORVANE_FIELD(extpgmcscle);
  CORVANE_FIELD(extpgmcscl);
  CORVANE_FIELD(extpgmrscle);
  CORVANE_FIELD(extpgmrscl);
  CORVANE_FIELD(extpgmlsscle);
  CORVANE_FIELD(extpgmlsscl);
  CORVANE_FIELD(extpgmrsscle);
  CORVANE_FIELD(extpgmrsscl);
  CORVANE_FIELD(extpgmlfescle);
  CORVANE_FIELD(extpgmlfescl);
  CORVANE_FIELD(dmixscle);
  CORVANE_FIELD(dmixscl);
  CORVANE_FIELD(addche);
  CORVANE_FIELD(extpgmaux1scle);
  CORVANE_FIELD(extpgmaux1scl);
  CORVANE_FIELD(extpgmaux2scle);
  CORVANE_FIELD(extpgmaux2scl);
  CORVANE_FIELD(mixdata3e);
  CORVANE_FIELD(spchdat);
  CORVANE_FIELD(addspchdate);
  CORVANE_FIELD(spchdat1);
  CORVANE_FIELD(spchan1att);
  CORVANE_FIELD(addspchdat1e);
  CORVANE_FIELD(spchdat2);
  CORVANE_FIELD(spchan2att);
  // The mixing data block's bytes, where the frame carries one.
  const bool MixingBlock = Frame.mixmdate == 1 && Frame.strmtyp == 0 && Frame.mixdef == 3;
  Json["mixdatabytes"] = BytesJson(
      Frame.mixdatabytes, MixingBlock ? std::min<size_t>(Frame.mixdeflen + 2u, sizeof(Frame.mixdatabytes)) : 0);
  CORVANE_FIELD(mixdatafill);
  CORVANE_FIELD(paninfoe);
  CORVANE_FIELD(panmean);
  CORVANE_FIELD(paninfo);
  CORVANE_FIELD(paninfo2e);
  CORVANE_FIELD(panmean2);
  CORVANE_FIELD(paninfo2);
  CORVANE_FIELD(frmmixcfginfoe);
  // Only the entries of the frame's blocks (at most six) are ever written.
  TJson Blocks = TJson::array();
  for (size_t Block = 0; Block < 6; ++Block) Blocks.push_back(Frame.blkmixcfginfo[Block]);
  Json["blkmixcfginfo"] = std::move(Blocks);
  CORVANE_FIELD(blkmixcfginfoe);
  CORVANE_FIELD(infomdate);
  CORVANE_FIELD(bsmod);
  CORVANE_FIELD(copyrightb);
  CORVANE_FIELD(origbs);
  CORVANE_FIELD(dsurmod);
  CORVANE_FIELD(dheadphonmod);
  CORVANE_FIELD(dsurexmod);
  CORVANE_FIELD(audprodie);
  CORVANE_FIELD(mixlevel);
  CORVANE_FIELD(roomtyp);
  CORVANE_FIELD(adconvtyp);
  CORVANE_FIELD(audprodi2e);
  CORVANE_FIELD(mixlevel2);
  CORVANE_FIELD(roomtyp2);
  CORVANE_FIELD(adconvtyp2);
  CORVANE_FIELD(sourcefscod);
  CORVANE_FIELD(convsync);
  CORVANE_FIELD(blkid);
  CORVANE_FIELD(frmsizecod);
  CORVANE_FIELD(addbsie);
  CORVANE_FIELD(addbsil);
  Json["addbsi"] = BytesJson(Frame.addbsi, Frame.addbsie ? std::min<size_t>(Frame.addbsil + 1u, sizeof(Frame.addbsi)) : 0);
  return Json;
}

#undef CORVANE_FIELD

template <typename TFrame>
TJson FrameJson(const TFrame& Frame) {
  static const char* const Columns[] = {"Offset", "Length", "Frame Size", "Sampling Rate", "Bitrate"};
  const TRowTexts Texts = FrameRowTexts(Frame);
  TJson Row;
  for (size_t Column = 0; Column < Texts.size(); ++Column) Row[Columns[Column]] = TextJson(Texts[Column]);
  TJson Json;
  Json["offset"] = Frame.Offset;
  Json["length"] = Frame.Length;
  Json["row"] = std::move(Row);
  Json["header"] = HeaderJson(Frame);
  return Json;
}

template TJson FrameJson(const TAC3Frame&);
template TJson FrameJson(const TAC3PlusFrame&);

TJson TreeJson(const TTreeModel& Tree) {
  TJson Nodes = TJson::array();
  for (TTreeModel::TNodeId Root : Tree.Roots()) Nodes.push_back(NodeJson(Tree, Root));
  return Nodes;
}

TJson TextJson(const std::u16string& Text) { return ToUtf8(Text); }

std::string Dump(const TJson& Json) { return Json.dump(-1, ' ', false, TJson::error_handler_t::replace); }

}  // namespace corvane::cli
