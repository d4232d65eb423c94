#include "product/VersionResource.h"

#include <algorithm>

namespace corvane {
namespace {

uint16_t Load16(const std::vector<uint8_t>& Bytes, size_t At) {
  return static_cast<uint16_t>(Bytes[At] | (Bytes[At + 1] << 8));
}

size_t Align4(size_t Offset) { return (Offset + 3) & ~size_t(3); }

char16_t AsciiUpper(char16_t C) { return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - 32) : C; }

bool SameKey(std::u16string_view A, std::u16string_view B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(), [](char16_t X, char16_t Y) { return AsciiUpper(X) == AsciiUpper(Y); });
}

struct TNode {
  size_t End = 0;
  std::u16string Key;
  bool IsText = false;
  size_t ValueBegin = 0;
  size_t ValueBytes = 0;
  size_t ChildrenBegin = 0;
};

// Reads the node at At, which must end at or before Limit.
bool ParseNode(const std::vector<uint8_t>& Bytes, size_t At, size_t Limit, TNode& Node) {
  if (Limit > Bytes.size() || At > Limit || Limit - At < 6) return false;
  const size_t Length = Load16(Bytes, At);
  if (Length < 6 || Length > Limit - At) return false;
  Node.End = At + Length;
  const uint16_t ValueLength = Load16(Bytes, At + 2);
  Node.IsText = Load16(Bytes, At + 4) == 1;

  Node.Key.clear();
  size_t Pos = At + 6;
  for (;;) {
    if (Node.End - Pos < 2) return false;  // key without its terminating null
    const char16_t C = Load16(Bytes, Pos);
    Pos += 2;
    if (C == 0) break;
    Node.Key.push_back(C);
  }
  // Text values count characters, binary values bytes; a value that claims more than its
  // node holds is cut at the node's end.
  Node.ValueBegin = std::min(Align4(Pos), Node.End);
  const size_t ValueBytes = Node.IsText ? size_t(ValueLength) * 2 : ValueLength;
  Node.ValueBytes = std::min(ValueBytes, Node.End - Node.ValueBegin);
  Node.ChildrenBegin = std::min(Align4(Node.ValueBegin + Node.ValueBytes), Node.End);
  return true;
}

bool FindChild(const std::vector<uint8_t>& Bytes, const TNode& Parent, std::u16string_view Key, TNode& Child) {
  size_t At = Parent.ChildrenBegin;
  while (At < Parent.End && Parent.End - At >= 6) {
    if (!ParseNode(Bytes, At, Parent.End, Child)) return false;
    if (SameKey(Child.Key, Key)) return true;
    At = Align4(Child.End);
  }
  return false;
}

void Put16(std::vector<uint8_t>& Out, uint16_t V) {
  Out.push_back(static_cast<uint8_t>(V));
  Out.push_back(static_cast<uint8_t>(V >> 8));
}

void Put32(std::vector<uint8_t>& Out, uint32_t V) {
  Put16(Out, static_cast<uint16_t>(V));
  Put16(Out, static_cast<uint16_t>(V >> 16));
}

void Pad4(std::vector<uint8_t>& Out) {
  while (Out.size() % 4) Out.push_back(0);
}

void PutText(std::vector<uint8_t>& Out, std::u16string_view Text) {
  for (char16_t C : Text) Put16(Out, C);
  Put16(Out, 0);
}

// Writes a node's header, key and value; the caller appends the children and then
// calls EndNode with the returned start to fill in the length.
size_t BeginNode(std::vector<uint8_t>& Out, std::u16string_view Key, bool IsText, uint16_t ValueLength) {
  Pad4(Out);
  const size_t Start = Out.size();
  Put16(Out, 0);
  Put16(Out, ValueLength);
  Put16(Out, IsText ? 1 : 0);
  PutText(Out, Key);
  Pad4(Out);
  return Start;
}

void EndNode(std::vector<uint8_t>& Out, size_t Start) {
  const size_t Length = Out.size() - Start;
  Out[Start] = static_cast<uint8_t>(Length);
  Out[Start + 1] = static_cast<uint8_t>(Length >> 8);
}

}  // namespace

bool QueryVersionValue(const std::vector<uint8_t>& Resource, std::u16string_view Path, TVersionValue& Value) {
  TNode Node;
  if (!ParseNode(Resource, 0, Resource.size(), Node)) return false;
  while (!Path.empty()) {
    const size_t Sep = Path.find(u'\\');
    const std::u16string_view Key = Path.substr(0, Sep);
    Path = Sep == std::u16string_view::npos ? std::u16string_view() : Path.substr(Sep + 1);
    if (Key.empty()) continue;
    TNode Child;
    if (!FindChild(Resource, Node, Key, Child)) return false;
    Node = std::move(Child);
  }
  Value.Offset = Node.ValueBegin;
  Value.Size = Node.ValueBytes;
  Value.IsText = Node.IsText;
  return true;
}

std::u16string VersionValueText(const std::vector<uint8_t>& Resource, const TVersionValue& Value) {
  std::u16string Text;
  const size_t End = std::min(Value.Offset + Value.Size, Resource.size());
  for (size_t At = Value.Offset; At + 2 <= End; At += 2) {
    const char16_t C = Load16(Resource, At);
    if (C == 0) break;
    Text.push_back(C);
  }
  return Text;
}

std::vector<uint8_t> BuildVersionResource(const TVersionResourceDesc& Desc) {
  std::vector<uint8_t> Out;
  const size_t Root = BeginNode(Out, u"VS_VERSION_INFO", false, Desc.FixedInfoSize);
  std::vector<uint8_t> Fixed;
  for (uint32_t Word : {0xFEEF04BDu, 0x00010000u, Desc.FileVersionMS, Desc.FileVersionLS, Desc.ProductVersionMS,
                        Desc.ProductVersionLS, Desc.FileFlagsMask, Desc.FileFlags, Desc.FileOS, Desc.FileType,
                        Desc.FileSubtype, Desc.FileDateMS, Desc.FileDateLS})
    Put32(Fixed, Word);
  Fixed.resize(Desc.FixedInfoSize, 0);
  Out.insert(Out.end(), Fixed.begin(), Fixed.end());

  if (!Desc.StringTables.empty()) {
    const size_t FileInfo = BeginNode(Out, u"StringFileInfo", true, 0);
    for (const auto& Table : Desc.StringTables) {
      const size_t TableStart = BeginNode(Out, Table.Key, true, 0);
      for (const auto& [Key, Text] : Table.Values) {
        const size_t Str = BeginNode(Out, Key, true, static_cast<uint16_t>(Text.size() + 1));
        PutText(Out, Text);
        EndNode(Out, Str);
      }
      EndNode(Out, TableStart);
    }
    EndNode(Out, FileInfo);
  }
  if (Desc.HasVarFileInfo) {
    const size_t VarInfo = BeginNode(Out, u"VarFileInfo", true, 0);
    const size_t Var = BeginNode(Out, u"Translation", false, static_cast<uint16_t>(Desc.Translation.size() * 2));
    for (uint16_t Word : Desc.Translation) Put16(Out, Word);
    EndNode(Out, Var);
    EndNode(Out, VarInfo);
  }
  EndNode(Out, Root);
  return Out;
}

}  // namespace corvane
