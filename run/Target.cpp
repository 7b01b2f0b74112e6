#include "run/Target.h"

namespace run {

void WireLog::append(std::string_view device, std::string_view bytes) {
    std::lock_guard lock(mutex_);
    blocks_.push_back(Block{std::string(device), std::string(bytes)});
}

std::size_t WireLog::mark() const {
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

std::string WireLog::since(std::size_t mark) const {
    std::lock_guard lock(mutex_);
    std::string bytes;
    for (std::size_t i = mark; i < blocks_.size(); ++i) bytes += blocks_[i].bytes;
    return bytes;
}

std::string WireLog::stream(std::string_view device) const {
    std::lock_guard lock(mutex_);
    std::string bytes;
    for (const Block& block : blocks_) {
        if (block.device == device) bytes += block.bytes;
    }
    return bytes;
}

std::size_t WireLog::streamSize(std::string_view device) const {
    std::lock_guard lock(mutex_);
    std::size_t size = 0;
    for (const Block& block : blocks_) {
        if (block.device == device) size += block.bytes.size();
    }
    return size;
}

}  // namespace run
