#include "product/MD5Utils.h"

#include <algorithm>

#include <QByteArrayView>
#include <QCryptographicHash>

#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {

bool CalculateFileMD5(const std::filesystem::path& FileName, TMD5Digest& Digest) {
  try {
    if (!FileExists(FileName)) {
      ReportFailure(u"CalculateFileMD5", u"file not found.");
      return false;
    }
    TFileStream Stream;
    if (!Stream.Open(FileName, TFileStream::TMode::Read)) return ReportCallFailure(u"CalculateFileMD5");
    QCryptographicHash Hash(QCryptographicHash::Md5);
    char Block[1024];
    for (;;) {
      const int32_t Got = Stream.Read(Block, sizeof Block);
      if (Got < 0) return ReportCallFailure(u"CalculateFileMD5");
      if (Got == 0) break;
      Hash.addData(QByteArrayView(Block, Got));
    }
    const QByteArray Result = Hash.result();
    std::copy(Result.begin(), Result.begin() + Digest.size(), Digest.begin());
    return true;
  } catch (...) {
    ReportCallFailure(u"CalculateFileMD5");
    return false;
  }
}

std::u16string MD5DigestToStr(const TMD5Digest& Digest) {
  static const char16_t Digits[] = u"0123456789abcdef";
  std::u16string Text;
  for (uint8_t Byte : Digest) {
    Text.push_back(Digits[Byte >> 4]);
    Text.push_back(Digits[Byte & 15]);
  }
  return Text;
}

}  // namespace corvane
