#pragma once

namespace vellum {

// The user messages, exactly as shown. "%config%" stands for the package
// file's name and is filled in when a message is shown.
inline constexpr char16_t kMessageCannotOpenPackage[] =
    u"%config%\u3092\u958b\u3051\u307e\u305b\u3093\u3002\r\n"
    u"zip\u30d5\u30a1\u30a4\u30eb\u3092\u5c55\u958b\u3057\u3066\u304b\u3089"
    u"\u8d77\u52d5\u3057\u3066\u304f\u3060\u3055\u3044\u3002";  // を開けません。/ zipファイルを展開してから起動してください。
inline constexpr char16_t kMessagePackageCorrupted[] =
    u"%config%\u304c\u7834\u640d\u3057\u3066\u3044\u307e\u3059\u3002";  // が破損しています。
inline constexpr char16_t kMessageCannotCreateTemporaryFiles[] =
    u"\u4e00\u6642\u30d5\u30a1\u30a4\u30eb\u3092\u4f5c\u308c\u307e\u305b\u3093\u3002";  // 一時ファイルを作れません。
inline constexpr char16_t kMessageCopyPasteFinished[] =
    u"\u30b3\u30d4\u30fc\uff06\u30da\u30fc\u30b9\u30c8\u306f\u7d42\u308f\u308a"
    u"\u307e\u3057\u305f\u304b\uff1f";  // コピー＆ペーストは終わりましたか？
inline constexpr char16_t kMessageCannotCopy[] =
    u"\u30b3\u30d4\u30fc\u3067\u304d\u307e\u305b\u3093\u3002";  // コピーできません。

inline constexpr char16_t kPackageNamePlaceholder[] = u"%config%";

}  // namespace vellum
