#pragma once
// Picture files into the 32-bit bitmap: a whole file read into memory, then decoded by the BMP
// or the JPEG decoder. Errors name the file and the reason.
#include "Bitmap32.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Rows done so far out of the height, now and then while a picture is decoded.
using TPictureProgress = std::function<void(int RowsDone, int Height)>;

// The whole file; ECADCoreException with the file name and the system's reason when it cannot
// be read.
std::vector<uint8_t> ReadFileBytes(const std::string& FileName);
// A Windows BMP file, every form BmpDecoder reads. A damaged file raises ECADFileNotValid.
std::unique_ptr<TBitmap32> ReadBmpFile(const std::string& FileName, const TPictureProgress& Progress = {});
// A JPEG file through JpegDecoder.
std::unique_ptr<TBitmap32> ReadJpegFile(const std::string& FileName, const TPictureProgress& Progress = {});
