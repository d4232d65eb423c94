#include "viewer/RecentFiles.h"

#include <algorithm>
#include <system_error>

#include "core/StringUtils.h"

namespace corvane {

void TRecentFiles::Add(const std::filesystem::path& File) {
  if (File.empty() || !PathIsText(File)) return;
  std::error_code Failed;
  std::filesystem::path Absolute = std::filesystem::absolute(File, Failed);
  if (Failed) Absolute = File;
  Remove(Absolute);
  FFiles.insert(FFiles.begin(), Absolute.lexically_normal());
  if (FFiles.size() > MaxFiles) FFiles.resize(MaxFiles);
}

void TRecentFiles::Remove(const std::filesystem::path& File) {
  const std::filesystem::path Normal = File.lexically_normal();
  FFiles.erase(std::remove(FFiles.begin(), FFiles.end(), Normal), FFiles.end());
}

void TRecentFiles::Load(const std::vector<std::u16string>& Stored) {
  FFiles.clear();
  for (const std::u16string& Text : Stored) {
    if (Text.empty() || FFiles.size() == MaxFiles) continue;
    const std::filesystem::path File = std::filesystem::path(Text).lexically_normal();
    if (std::find(FFiles.begin(), FFiles.end(), File) == FFiles.end()) FFiles.push_back(File);
  }
}

std::array<std::u16string, TRecentFiles::MaxFiles> TRecentFiles::Stored() const {
  std::array<std::u16string, MaxFiles> Texts;
  for (size_t Index = 0; Index < FFiles.size(); ++Index) Texts[Index] = PathToText(FFiles[Index]);
  return Texts;
}

std::u16string TRecentFiles::MenuText(size_t Index) const {
  if (Index >= FFiles.size()) return {};
  std::u16string Text(1, u'&');
  Text += IntToStr(static_cast<int64_t>(Index + 1));
  Text += u' ';
  for (const char16_t Char : PathToText(FFiles[Index])) {
    if (Char == u'&') Text += u'&';
    Text += Char;
  }
  return Text;
}

TRecentFiles::TChoice TRecentFiles::Choose(size_t Index) {
  TChoice Choice;
  if (Index >= FFiles.size()) return Choice;
  const std::filesystem::path File = FFiles[Index];
  std::error_code Failed;
  if (std::filesystem::exists(File, Failed)) {
    Choice.File = File;
    return Choice;
  }
  FFiles.erase(FFiles.begin() + static_cast<std::ptrdiff_t>(Index));
  Choice.Message = u"The file " + PathToText(File) + u" no longer exists. It was taken off the recent files.";
  return Choice;
}

}  // namespace corvane
