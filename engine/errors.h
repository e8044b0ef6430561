#pragma once

#include <exception>
#include <ostream>
#include <string>

// Base of every failure the engine detects: a headline naming what failed and
// a details text giving the reason.
class VEKException : public std::exception {
  public:
    VEKException(std::string message, std::string details);
    const char* what() const noexcept override;
    std::string GetDetails() const;

  private:
    std::string message;
    std::string details;
};

// The three kinds exist so that a handler can tell failures apart by type.
class FileLoadingFailed : public VEKException {
  public:
    using VEKException::VEKException;
};

class SDLFailure : public VEKException {
  public:
    using VEKException::VEKException;
};

class SurfaceOpFailed : public VEKException {
  public:
    using VEKException::VEKException;
};

// "Failed to load file \"<name>\"."
std::string FileHeadline(const std::string& name);
// "Surface operation \"<operation>\" failed."
std::string SurfaceHeadline(const std::string& operation);
// "Failed to set video mode <w>x<h> with <bpp>bpp colors."
std::string VideoHeadline(int width, int height, int bitsPerPixel);

// Writes the report of a caught failure: an engine failure as its headline and
// its details on two lines, any other exception as its text on one line.
void ReportFailure(std::ostream& out, const std::exception& failure);
