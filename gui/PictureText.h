#pragma once
// Pictures in component text: a picture property's value is the data of the Windows BMP file the picture
// would be saved as, written as hexadecimal digits in braces, a few dozen bytes a line:
//
//   Appearance.RaisedBmp = {
//     424D36000000...
//   }
//
// An empty picture is the default and is not written; `{}` empties one.
#include "Classes.h"
#include "Published.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The file data of `picture` (a TBitmap, or a TPicture holding one); empty for an empty picture. Anything
// else (a picture holding an icon, which cannot be saved) raises EPropertyError naming it.
std::vector<uint8_t> PictureData(TPersistent* picture);

// A new, independent picture of `valueClass` (TBitmap or TPicture, or a class of theirs) made from file
// data; no data makes an empty one. Data that is no Windows BMP raises EInvalidGraphic; a class that
// cannot be made here, EPropertyError.
std::unique_ptr<TPersistent> PictureFromData(const TClassInfo& valueClass, const std::vector<uint8_t>& data);

// An independent copy of `picture` (a TBitmap or a TPicture), settings included.
std::unique_ptr<TPersistent> CopyPicture(TPersistent* picture);

// `data` as lines of hexadecimal digits, each starting with `indent` and ending with a line break.
std::string HexLines(const std::vector<uint8_t>& data, const std::string& indent);
// The bytes that hexadecimal digits (an even number of them) stand for; nothing for anything else.
std::optional<std::vector<uint8_t>> BytesFromHex(const std::string& digits);
