#pragma once
// Every syntax field of a TAC3Frame by name, so a mismatch in a test names the field.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "analysis/AC3Utils.h"

namespace corvane::test {

using TFieldList = std::vector<std::pair<std::string, uint32_t>>;

inline TFieldList AC3Fields(const TAC3Frame& F) {
  TFieldList List = {
      {"syncword", F.syncword},     {"crc1", F.crc1},           {"fscod", F.fscod},
      {"frmsizecod", F.frmsizecod}, {"bsid", F.bsid},           {"bsmod", F.bsmod},
      {"acmod", F.acmod},           {"cmixlev", F.cmixlev},     {"surmixlev", F.surmixlev},
      {"dsurmod", F.dsurmod},       {"lfeon", F.lfeon},         {"dialnorm", F.dialnorm},
      {"compre", F.compre},         {"compr", F.compr},         {"langcode", F.langcode},
      {"langcod", F.langcod},       {"audprodie", F.audprodie}, {"mixlevel", F.mixlevel},
      {"roomtyp", F.roomtyp},       {"dialnorm2", F.dialnorm2}, {"compr2e", F.compr2e},
      {"compr2", F.compr2},         {"langcod2e", F.langcod2e}, {"langcod2", F.langcod2},
      {"audprodi2e", F.audprodi2e}, {"mixlevel2", F.mixlevel2}, {"roomtyp2", F.roomtyp2},
      {"copyrightb", F.copyrightb}, {"origbs", F.origbs},       {"timecod1e", F.timecod1e},
      {"timecod1", F.timecod1},     {"timecod2e", F.timecod2e}, {"timecod2", F.timecod2},
      {"addbsie", F.addbsie},       {"addbsil", F.addbsil},
  };
  for (size_t I = 0; I < sizeof(F.addbsi); ++I) List.emplace_back("addbsi[" + std::to_string(I) + "]", F.addbsi[I]);
  return List;
}

}  // namespace corvane::test
