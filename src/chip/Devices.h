// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Device names and every text the chip operations show, exactly as the user
// sees them: blanks and "\r" belong to the texts.

namespace lpt51::chip {

// Device type strings (ChipType values and `cpu` captions).
inline constexpr const char* kDevice12V = "AT89C51-12V";
inline constexpr const char* kDevice5V = "AT89C51-5V";
inline constexpr const char* kChipNone = "      none";       // six blanks: signature rejected
inline constexpr const char* kNoSelect = "   No Select";     // three blanks
inline constexpr const char* kAutoDetect = "  Auto Detect";  // two blanks

// Signature read and device check.
inline constexpr const char* kNotAtmel =
    "Probably you have not the Atmel mikroprocessor !!  Continue ?";  // Information
inline constexpr const char* kNot89C51 =
    "Probably you have not the 89C51 mikroprocessor !!! Continue ?";  // Warning
inline constexpr const char* kSelectProcessor = "Select processor in device menu";
inline constexpr const char* kNoProcessor = "You have not  processor in socket !!!";
inline constexpr const char* kHaveYouReallyPrefix = "Have you realy ";  // + caption + suffix
inline constexpr const char* kHaveYouReallySuffix = " processor ?";     // Warning

// Erase.
inline constexpr const char* kChipIsClear = "Chip is clear";

// Programming.
inline constexpr const char* kFileWasBurn = "File was burn !";
inline constexpr const char* kWriteCaption = "Write Chip";
inline constexpr const char* kWritingCaption = "WRITING ...";

// Verify. The mismatch question (Error kind) is built by MismatchQuestion().
inline constexpr const char* kFileCheckSuccessful = "File Check successful!";
inline constexpr const char* kVerifyNotCorrect = "Verifing not correct !!!";
inline constexpr const char* kVerifyCaption = "Verify Chip";
inline constexpr const char* kCheckingCaption = "Checking ...";

// Lock bits.
inline constexpr const char* kNoLockBitSelect = "No Lock Bit Select";

// Clear-Write-Verify.
inline constexpr const char* kTaskComplete = "Task complete !";
inline constexpr const char* kCwvCaptionBidi = "Clear-Write-Verify ";  // trailing blank
inline constexpr const char* kCwvCaptionOutputOnly = "Clear-Write";

}  // namespace lpt51::chip
