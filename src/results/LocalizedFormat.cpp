#include "results/LocalizedFormat.h"

namespace vmk {

UString formatLocalized(UStringView format, const std::vector<UString>& arguments) {
  UString out;
  out.reserve(format.size() + 16);
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const UChar16 c = format[i];
    if (c == u'%' && i + 1 < format.size()) {
      const UChar16 marker = format[i + 1];
      if (marker == u'@' || marker == u'd') {
        if (next < arguments.size()) out += arguments[next];
        ++next;
        ++i;
        continue;
      }
      if (marker == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace vmk
