#include "product/RcVersionScript.h"

#include <cctype>
#include <string>
#include <vector>

#include "core/StringUtils.h"

namespace corvane {
namespace {

struct TToken {
  enum TKind { Word, Number, String, Punct, End } Kind = End;
  std::string Text;  // the word, the string's contents (UTF-8) or the punctuation
  uint32_t Value = 0;
  int Line = 0;
};

class TLexer {
 public:
  explicit TLexer(std::string_view Text) : FText(Text) {}

  TToken Next() {
    SkipSpace();
    TToken T;
    T.Line = FLine;
    if (FPos >= FText.size()) return T;
    const char C = FText[FPos];
    if (C == '"') {
      T.Kind = TToken::String;
      T.Text = ReadString();
    } else if (std::isdigit(static_cast<unsigned char>(C))) {
      T.Kind = TToken::Number;
      T.Value = ReadNumber();
    } else if (std::isalpha(static_cast<unsigned char>(C)) || C == '_') {
      T.Kind = TToken::Word;
      while (FPos < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[FPos])) || FText[FPos] == '_'))
        T.Text.push_back(FText[FPos++]);
    } else {
      T.Kind = TToken::Punct;
      T.Text = std::string(1, C);
      ++FPos;
    }
    return T;
  }

  [[noreturn]] void Fail(const std::string& What) const { FailAt(FLine, What); }
  [[noreturn]] static void FailAt(int Line, const std::string& What) {
    throw ERcScript("line " + std::to_string(Line) + ": " + What);
  }

 private:
  void SkipSpace() {
    bool LineStart = FPos == 0 || FText[FPos - 1] == '\n';
    while (FPos < FText.size()) {
      const char C = FText[FPos];
      if (C == '\n') {
        ++FLine;
        ++FPos;
        LineStart = true;
      } else if (C == ' ' || C == '\t' || C == '\r') {
        ++FPos;
      } else if (C == '#' && LineStart) {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else if (FText.substr(FPos, 2) == "//") {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else if (FText.substr(FPos, 2) == "/*") {
        const size_t End = FText.find("*/", FPos + 2);
        if (End == std::string_view::npos) Fail("unterminated comment");
        for (size_t I = FPos; I < End; ++I)
          if (FText[I] == '\n') ++FLine;
        FPos = End + 2;
      } else {
        return;
      }
    }
  }

  std::string ReadString() {
    std::string S;
    ++FPos;  // opening quote
    for (;;) {
      if (FPos >= FText.size() || FText[FPos] == '\n') Fail("unterminated string");
      const char C = FText[FPos++];
      if (C == '"') {
        if (FPos < FText.size() && FText[FPos] == '"') {  // "" stands for one quote
          S.push_back('"');
          ++FPos;
          continue;
        }
        return S;
      }
      if (C == '\\' && FPos < FText.size()) {
        const char E = FText[FPos++];
        switch (E) {
          case 'n': S.push_back('\n'); break;
          case 't': S.push_back('\t'); break;
          case '\\': S.push_back('\\'); break;
          case '"': S.push_back('"'); break;
          default: Fail(std::string("unsupported escape \\") + E);
        }
        continue;
      }
      S.push_back(C);
    }
  }

  uint32_t ReadNumber() {
    // Decimal, or hexadecimal after "0x"; a leading zero does not mean octal here.
    const bool Hex = FText.substr(FPos, 2) == "0x" || FText.substr(FPos, 2) == "0X";
    if (Hex) FPos += 2;
    size_t Used = 0;
    unsigned long long V = 0;
    try {
      V = std::stoull(std::string(FText.substr(FPos, 20)), &Used, Hex ? 16 : 10);
    } catch (const std::exception&) {
      Fail("bad number");
    }
    FPos += Used;
    while (FPos < FText.size() && (FText[FPos] == 'L' || FText[FPos] == 'l' || FText[FPos] == 'U' || FText[FPos] == 'u'))
      ++FPos;
    if (V > 0xFFFFFFFFull) Fail("number out of range");
    return static_cast<uint32_t>(V);
  }

  std::string_view FText;
  size_t FPos = 0;
  int FLine = 1;
};

class TParser {
 public:
  explicit TParser(std::string_view Text) : FLexer(Text) { Advance(); }

  TVersionResourceDesc Parse() {
    // Find "<name> VERSIONINFO"; everything else in the script is not ours.
    while (FTok.Kind != TToken::End && !IsWord("VERSIONINFO")) Advance();
    if (FTok.Kind == TToken::End) throw ERcScript("no VERSIONINFO statement");
    Advance();
    TVersionResourceDesc Desc;
    Desc.HasVarFileInfo = false;
    while (!IsBegin()) {
      if (FTok.Kind != TToken::Word) Fail("fixed statement or BEGIN expected");
      const std::string Name = FTok.Text;
      const int Line = FTok.Line;
      Advance();
      if (Name == "FILEVERSION" || Name == "PRODUCTVERSION") {
        uint32_t Parts[4] = {0, 0, 0, 0};
        for (int I = 0; I < 4; ++I) {
          if (I > 0) {
            if (!IsPunct(",")) break;
            Advance();
          }
          Parts[I] = Expression() & 0xFFFF;
        }
        (Name == "FILEVERSION" ? Desc.FileVersionMS : Desc.ProductVersionMS) = (Parts[0] << 16) | Parts[1];
        (Name == "FILEVERSION" ? Desc.FileVersionLS : Desc.ProductVersionLS) = (Parts[2] << 16) | Parts[3];
      } else if (Name == "FILEFLAGSMASK") {
        Desc.FileFlagsMask = Expression();
      } else if (Name == "FILEFLAGS") {
        Desc.FileFlags = Expression();
      } else if (Name == "FILEOS") {
        Desc.FileOS = Expression();
      } else if (Name == "FILETYPE") {
        Desc.FileType = Expression();
      } else if (Name == "FILESUBTYPE") {
        Desc.FileSubtype = Expression();
      } else {
        TLexer::FailAt(Line, "unknown statement " + Name);
      }
    }
    Advance();
    while (!IsEnd()) {
      ExpectWord("BLOCK");
      const int Line = FTok.Line;
      const std::string Block = ExpectString();
      if (Block == "StringFileInfo") {
        ParseStringFileInfo(Desc);
      } else if (Block == "VarFileInfo") {
        ParseVarFileInfo(Desc);
      } else {
        TLexer::FailAt(Line, "unknown block " + Block);
      }
    }
    return Desc;
  }

 private:
  void Advance() { FTok = FLexer.Next(); }
  [[noreturn]] void Fail(const std::string& What) const { TLexer::FailAt(FTok.Line, What); }
  bool IsWord(const char* W) const { return FTok.Kind == TToken::Word && FTok.Text == W; }
  bool IsPunct(const char* P) const { return FTok.Kind == TToken::Punct && FTok.Text == P; }
  bool IsBegin() const { return IsWord("BEGIN") || IsPunct("{"); }
  bool IsEnd() const {
    if (FTok.Kind == TToken::End) Fail("unexpected end of script");
    return IsWord("END") || IsPunct("}");
  }

  void ExpectWord(const char* W) {
    if (!IsWord(W)) Fail(std::string(W) + " expected");
    Advance();
  }
  void ExpectBegin() {
    if (!IsBegin()) Fail("BEGIN expected");
    Advance();
  }
  std::string ExpectString() {
    if (FTok.Kind != TToken::String) Fail("string expected");
    std::string S = FTok.Text;
    Advance();
    return S;
  }
  void ExpectComma() {
    if (!IsPunct(",")) Fail("',' expected");
    Advance();
  }

  uint32_t Expression() {
    uint32_t V = Operand();
    while (IsPunct("|") || IsPunct("+")) {
      const bool Or = IsPunct("|");
      Advance();
      const uint32_t W = Operand();
      V = Or ? (V | W) : (V + W);
    }
    return V;
  }
  uint32_t Operand() {
    if (FTok.Kind != TToken::Number) Fail("number expected");
    const uint32_t V = FTok.Value;
    Advance();
    return V;
  }

  void ParseStringFileInfo(TVersionResourceDesc& Desc) {
    ExpectBegin();
    while (!IsEnd()) {
      ExpectWord("BLOCK");
      TVersionResourceDesc::TStringTable Table;
      Table.Key = FromUtf8(ExpectString());
      ExpectBegin();
      while (!IsEnd()) {
        ExpectWord("VALUE");
        std::u16string Key = FromUtf8(ExpectString());
        ExpectComma();
        Table.Values.emplace_back(std::move(Key), FromUtf8(ExpectString()));
      }
      Advance();
      Desc.StringTables.push_back(std::move(Table));
    }
    Advance();
  }

  void ParseVarFileInfo(TVersionResourceDesc& Desc) {
    ExpectBegin();
    Desc.HasVarFileInfo = true;
    while (!IsEnd()) {
      ExpectWord("VALUE");
      const int Line = FTok.Line;
      const std::string Key = ExpectString();
      if (Key != "Translation") TLexer::FailAt(Line, "only the Translation value is supported");
      while (IsPunct(",")) {
        Advance();
        Desc.Translation.push_back(static_cast<uint16_t>(Expression()));
      }
    }
    Advance();
  }

  TLexer FLexer;
  TToken FTok;
};

}  // namespace

TVersionResourceDesc ParseRcVersionScript(std::string_view Text) { return TParser(Text).Parse(); }

}  // namespace corvane
