// Code page 932 at the boundary of ANSI files, through ICU's "windows-31j" (the mapping in
// which 0x5C is the backslash).
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <memory>
#include <string>

#include "platform/platform.h"

namespace kr::platform {
namespace {

// Unencodable characters become "?", as the ANSI conversion of Windows writes them.
void QuestionMarkFromUnicode(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                             UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
}

// Invalid bytes become U+FFFD rather than ICU's U+001A.
void ReplacementToUnicode(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  const UChar replacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// One converter per thread: converters keep state and are not shareable.
UConverter* Converter() {
  thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* opened = ucnv_open("windows-31j", &status);
    if (U_FAILURE(status)) return std::unique_ptr<UConverter, ConverterCloser>();
    ucnv_setFromUCallBack(opened, QuestionMarkFromUnicode, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(opened, ReplacementToUnicode, nullptr, nullptr, nullptr, &status);
    return std::unique_ptr<UConverter, ConverterCloser>(opened);
  }();
  if (converter) ucnv_reset(converter.get());
  return converter.get();
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out(text.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3 + 1, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if ((c & 0x80) != 0) return false;
  }
  return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  UConverter* converter = Converter();
  if (converter == nullptr) return {};
  std::u16string wide(bytes.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(wide.data()),
                                 static_cast<int32_t>(wide.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return {};
  wide.resize(static_cast<size_t>(length));
  return Utf16ToUtf8(wide);
}

std::string Utf8ToCp932(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  UConverter* converter = Converter();
  if (converter == nullptr) return {};
  std::u16string wide = Utf8ToUtf16(text);
  std::string out(wide.size() * 2 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                   reinterpret_cast<const UChar*>(wide.data()),
                                   static_cast<int32_t>(wide.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace kr::platform
