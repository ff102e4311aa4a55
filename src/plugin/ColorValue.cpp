#include "plugin/ColorValue.h"

#include <cmath>
#include <cstdio>

namespace vmk {
namespace {

unsigned component(double value) {
  if (!(value > 0)) return 0;  // also NaN
  if (value >= 1) return 255;
  return unsigned(value * 255);
}

}  // namespace

UString htmlColorValue(double red, double green, double blue) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", component(red), component(green),
                component(blue));
  return toUtf16(text);
}

UString quotedHTMLColorValue(double red, double green, double blue) {
  return u"\"" + htmlColorValue(red, green, blue) + u"\"";
}

}  // namespace vmk
