#pragma once
// The base of pictures (bitmaps, icons) and the errors pictures raise.
#include "Classes.h"
#include "Geometry.h"
#include "SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TCanvas;

// A picture that can draw itself on a canvas and be loaded from a file.
class TGraphic : public TPersistent {
public:
  virtual bool Empty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;

  virtual bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool transparent);

  // Opens the file (EFOpenError when it cannot) and reads it with LoadFromStream.
  void LoadFromFile(const std::string& fileName);
  // Reads the picture from the stream's current position; a file that is not a valid picture raises
  // EInvalidGraphic and leaves this object unchanged.
  virtual void LoadFromStream(TStream* stream) = 0;
  // Writes the picture; raises EFCreateError when the file cannot be written.
  virtual void SaveToFile(const std::string& fileName) = 0;

  // Draws into `rect` of the canvas (stretched to it).
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;

  TNotifyEvent OnChange;
  // Raises OnChange with this graphic as Sender.
  virtual void Changed();

protected:
  // The rest of the stream, at most `limit` bytes; a longer stream raises EInvalidGraphic(`invalid`), since
  // a picture file that large is not one this class would accept.
  static std::vector<uint8_t> ReadAll(TStream* stream, size_t limit, const char* invalid);

  bool FTransparent = false;
};

// "Cannot create file %s"
class EFCreateError : public Exception {
public:
  explicit EFCreateError(const std::string& path);
};

// An operation a graphic cannot carry out (a scan line outside the bitmap, an impossible size).
class EInvalidGraphicOperation : public Exception {
  using Exception::Exception;
};
