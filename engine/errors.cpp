#include "engine/errors.h"

#include <utility>

VEKException::VEKException(std::string message, std::string details)
    : message(std::move(message)), details(std::move(details)) {}

const char* VEKException::what() const noexcept {
    return message.c_str();
}

std::string VEKException::GetDetails() const {
    return details;
}

std::string FileHeadline(const std::string& name) {
    return "Failed to load file \"" + name + "\".";
}

std::string SurfaceHeadline(const std::string& operation) {
    return "Surface operation \"" + operation + "\" failed.";
}

std::string VideoHeadline(int width, int height, int bitsPerPixel) {
    return "Failed to set video mode " + std::to_string(width) + "x" + std::to_string(height) + " with " +
           std::to_string(bitsPerPixel) + "bpp colors.";
}

void ReportFailure(std::ostream& out, const std::exception& failure) {
    if (auto* engineFailure = dynamic_cast<const VEKException*>(&failure)) {
        out << engineFailure->what() << std::endl << engineFailure->GetDetails() << std::endl;
    } else {
        out << failure.what() << std::endl;
    }
}
