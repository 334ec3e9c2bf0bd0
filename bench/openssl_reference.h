#pragma once
// OpenSSL doing the same work as our code, for side-by-side figures.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

std::function<void()> OpenSslAesCtr(std::vector<uint8_t>& buffer);
std::function<void()> OpenSslSha256(const std::vector<uint8_t>& buffer);
// The raw 8192-bit public operation (no padding) with the key in pemPath.
std::function<void()> OpenSslRsaPublic(const std::string& pemPath);
