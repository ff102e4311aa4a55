#include "transform/CharacterReferenceConversion.h"

#include "engine/CharacterReferences.h"
#include "engine/EntityNames.h"

namespace vmk {

namespace {

// Builds the converted text lazily: nothing is copied until the first change.
class ConvertedText {
 public:
  explicit ConvertedText(UStringView source) : source_(source) {}

  // Replaces source_[at] (`length` units) by `replacement`.
  void replace(size_t at, size_t length, std::string_view replacement) {
    copyUpTo(at);
    for (char c : replacement) out_.push_back(UChar16(static_cast<unsigned char>(c)));
    copied_ = at + length;
  }
  void insert(size_t at, UChar16 c) {
    copyUpTo(at);
    out_.push_back(c);
  }
  void reference(size_t at, std::string_view name) {
    copyUpTo(at);
    out_.push_back(u'&');
    for (char c : name) out_.push_back(UChar16(c));
    out_.push_back(u';');
    copied_ = at + 1;
  }
  std::optional<UString> finish() {
    if (!changed_) return std::nullopt;
    copyUpTo(source_.size());
    return std::move(out_);
  }

 private:
  void copyUpTo(size_t at) {
    if (!changed_) {
      changed_ = true;
      out_.reserve(source_.size() + source_.size() / 8 + 16);
    }
    out_.append(source_.substr(copied_, at - copied_));
    copied_ = at;
  }

  UStringView source_;
  UString out_;
  size_t copied_ = 0;
  bool changed_ = false;
};

}  // namespace

std::string_view latin1EntityName(UChar16 c) {
  return c >= 0xA0 && c <= 0xFF ? latin1EntityNames()[c - 0xA0] : std::string_view();
}

std::optional<UString> toCharRefString(UStringView fragment, UStringView context,
                                       size_t fragmentStart) {
  if (context.empty()) {
    context = fragment;
    fragmentStart = 0;
  }
  ConvertedText out(fragment);
  const size_t n = fragment.size();
  size_t i = 0;
  while (i < n) {
    const UChar16 c = fragment[i];
    if (c == u'<') {
      const bool opensMarkup = i + 1 < n && (fragment[i + 1] == u'?' || fragment[i + 1] == u'!');
      if (!opensMarkup) out.replace(i, 1, "&lt;");
      ++i;
    } else if (c == u'>') {
      const bool closesMarkup = i > 0 && (fragment[i - 1] == u'?' || fragment[i - 1] == u'-');
      if (!closesMarkup) out.replace(i, 1, "&gt;");
      ++i;
    } else if (c == u'&') {
      const int32_t ref = isCharRef(context, fragmentStart + i);
      if (ref == 0) {
        out.replace(i, 1, "&amp;");
        ++i;
      } else if (ref > 0) {
        ++i;
      } else {
        // The reference stays; its ";" goes where it was missing, when that place is inside
        // the fragment.
        const size_t end = i + size_t(-ref);
        if (end <= n) {
          out.insert(end, u';');
          i = end;
        } else {
          i = n;
        }
      }
    } else if (c >= 0xA0 && c <= 0xFF) {
      out.reference(i, latin1EntityNames()[c - 0xA0]);
      ++i;
    } else {
      ++i;
    }
  }
  return out.finish();
}

std::optional<UString> toDirectCharRefString(UStringView text) {
  ConvertedText out(text);
  for (size_t i = 0; i < text.size(); ++i) {
    const UChar16 c = text[i];
    if (c < 0xA0) {
      if (c == u'<') {
        out.replace(i, 1, "&lt;");
      } else if (c == u'>') {
        out.replace(i, 1, "&gt;");
      } else if (c == u'&') {
        out.replace(i, 1, "&amp;");
      } else if (c == u'"') {
        out.replace(i, 1, "&quot;");
      }
    } else if (c <= 0xFF) {
      out.reference(i, latin1EntityNames()[c - 0xA0]);
    }
  }
  return out.finish();
}

}  // namespace vmk
