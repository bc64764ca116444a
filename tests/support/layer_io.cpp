#include "support/layer_io.h"

#include <algorithm>
#include <cstdio>

#include "support/temp_drives.h"

namespace kxtest {

std::string Hex(const std::string &text) {
    std::string bytes, digits;
    for (char c : text) {
        if (c == ' ') continue;
        digits += c;
        if (digits.size() == 2) {
            bytes += static_cast<char>(std::stoul(digits, nullptr, 16));
            digits.clear();
        }
    }
    return bytes;
}

namespace {

KXFILE SwitchOn(KXFILE file, const Layers &layers) {
    if (file == nullptr) return nullptr;
    bool ok = (layers.text == 0 || kxFileSetTranslation(file, layers.text, layers.tabWidth) == 0) &&
              (layers.from == 0 ||
               kxFileSetCharsetFlags(file, layers.from, layers.to, CSF_TRANSLATE, 0) == 0) &&
              (layers.method == 0 || kxFileSetCompression(file, layers.method) == 0);
    if (!ok) {
        kxFileClose(file);
        return nullptr;
    }
    return file;
}

}  // namespace

KXFILE OpenReading(const std::string &name, const Layers &layers) {
    Name n(name);
    return SwitchOn(kxFileOpen(n.text, 0), layers);
}

KXFILE CreateWriting(const std::string &name, const Layers &layers) {
    Name n(name);
    return SwitchOn(kxFileCreate(n.text, 1), layers);
}

bool ReadAll(KXFILE file, const std::vector<uint32_t> &sizes, std::string &out) {
    std::vector<char> buffer;
    for (size_t i = 0;; ++i) {
        uint32_t size = sizes[i % sizes.size()];
        buffer.assign(size, '\0');
        uint32_t got = 0;
        if (!kxFileRead(file, buffer.data(), size, &got)) return false;
        if (got == 0) return true;
        out.append(buffer.data(), got);
    }
}

bool WriteAll(KXFILE file, const std::string &data, const std::vector<uint32_t> &sizes) {
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        uint32_t size = sizes[i % sizes.size()];
        if (size > data.size() - at) size = static_cast<uint32_t>(data.size() - at);
        uint32_t put = 0;
        if (!kxFileWrite(file, data.data() + at, size, &put)) return false;
        if (put < size) return true;  // the expander has seen the end code
        at += size;
    }
    return true;
}

std::string ReadThrough(const std::string &name, const Layers &layers, uint32_t size) {
    KXFILE file = OpenReading(name, layers);
    std::string out;
    bool ok = file != nullptr && ReadAll(file, {size}, out);
    if (file != nullptr) ok = kxFileClose(file) == 1 && ok;
    return ok ? out : "<failed>";
}

bool WriteThrough(const std::string &name, const Layers &layers, const std::string &data,
                  uint32_t size) {
    KXFILE file = CreateWriting(name, layers);
    if (file == nullptr) return false;
    bool ok = WriteAll(file, data, {size});
    return kxFileClose(file) == 1 && ok;
}

std::vector<uint32_t> MixedSizes(std::mt19937 &random, uint32_t largest) {
    std::vector<uint32_t> sizes = {1, 4095, 4096, 4097};
    for (int i = 0; i < 12; ++i) sizes.push_back(1 + random() % largest);
    std::shuffle(sizes.begin(), sizes.end(), random);
    return sizes;
}

}  // namespace kxtest
