#pragma once
#include "base/text.h"
#include "crypto/crypto_factory.h"
#include "platform/platform.h"

namespace vellum {

// The whole road from the package file to files in the working folder: opens
// and unseals the package, verifies the entire payload, writes the plaintext
// archive beside a new GUID-named working folder, extracts its top-level
// files into that folder and deletes the archive.
//
// workFolder is set as soon as the folder's name is chosen, whatever happens
// later (shutdown deletes it). On success packageTitle gets the header's
// title; on failure loadMessage gets one of the three user messages.
bool LoadPackage(Platform& platform, const Text& packagePath, const Text& packageName,
                 const Text& tempDir, const CryptoFactory& factory, Text& workFolder,
                 Text& packageTitle, Text& loadMessage);

// LoadPackage as the loading thread runs it: running out of memory ends the
// load as a failed one with no message (what is half made is released on the
// way out), rather than leaving the preparing dialog waiting for a result.
bool LoadPackageGuarded(Platform& platform, const Text& packagePath, const Text& packageName,
                        const Text& tempDir, const CryptoFactory& factory, Text& workFolder,
                        Text& packageTitle, Text& loadMessage);

}  // namespace vellum
