// Failure objects and result codes of the EXIF model.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tagora {

/// An internal failure: carries a text for diagnosis. It is caught inside the
/// library and turned into a plain result; it never reaches a caller.
class ExifError : public std::runtime_error {
public:
    explicit ExifError(const std::string& text) : std::runtime_error(text) {}
};

/// Result codes with the values of the matching COM HRESULTs, so that the
/// COM layer can hand them on unchanged.
using HResult = std::int32_t;
inline constexpr HResult kOk = 0;
/// An index outside the element range of a tag, or a missing tag ID.
inline constexpr HResult kInvalidIndex = static_cast<HResult>(0x800A017DU);
/// A variant that cannot be converted to the type asked for.
inline constexpr HResult kTypeMismatch = static_cast<HResult>(0x80020005U);
/// A variant whose value does not fit the type asked for.
inline constexpr HResult kOverflow = static_cast<HResult>(0x8002000AU);
/// The automation marker of an omitted optional argument (carried in an
/// error variant).
inline constexpr HResult kParamNotFound = static_cast<HResult>(0x80020004U);

}  // namespace tagora
