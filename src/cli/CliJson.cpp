#include "cli/CliJson.h"

#include <string>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane::cli {
namespace {

// One decoded field: its value where the record keeps one, and the bits it was read from
// unless the decoder set it without reading any.
template <typename TFrame>
void AddFieldJson(TJson& Header, const TFrame& Frame, const TSyntaxField<TFrame>& Field, size_t Entry) {
  const TFieldPosition& Position = Frame.Layout.Fields[Entry];
  std::string Key = Field.Name;
  if (Field.Indexed) Key.append(1, '[').append(std::to_string(Position.Element())).append(1, ']');
  TJson Json = TJson::object();
  if (Field.Member != nullptr || Field.Indexed) Json["value"] = Position.Value;
  if (!Position.Derived()) {
    Json["offset"] = Position.BitOffset;
    Json["width"] = Frame.Layout.BitWidth(Entry);
  }
  Header[Key] = std::move(Json);
}

template <typename TFrame>
TJson FieldsJson(const TFrame& Frame) {
  TJson Header = TJson::object();
  const size_t Entries = Frame.Layout.Decoded().size();
  for (size_t Entry = 0; Entry < Entries; ++Entry)
    if (const TSyntaxField<TFrame>* Field = FieldDescription<TFrame>(Frame.Layout.Fields[Entry]))
      AddFieldJson(Header, Frame, *Field, Entry);
  return Header;
}

TJson NodeJson(const TTreeModel& Tree, TTreeModel::TNodeId Id) {
  const TTreeModel::TNode& Node = Tree.Node(Id);
  TJson Children = TJson::array();
  for (TTreeModel::TNodeId Child : Node.Children) Children.push_back(NodeJson(Tree, Child));
  TJson Json;
  Json["text"] = TextJson(Node.Text);
  if (Node.BitOffset >= 0) {
    Json["offset"] = Node.BitOffset;
    Json["width"] = Node.BitWidth;
  }
  Json["children"] = std::move(Children);
  return Json;
}

}  // namespace

TJson HeaderJson(const TAC3Frame& Frame) { return FieldsJson(Frame); }

TJson HeaderJson(const TAC3PlusFrame& Frame) { return FieldsJson(Frame); }

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
