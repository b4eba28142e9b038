#include "corvane/ZlibStatePool.h"

#include <mutex>
#include <new>
#include <vector>

namespace corvane {
namespace {

// zlib's own check is on the first digit and the record size; "1.1.3" is the
// level of the interface this library is written against.
constexpr const char* kZlibInterfaceVersion = "1.1.3";
constexpr int kMethodDeflate = 8;
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;
// Enough for a few streams open at once (a reader feeding a writer, say);
// beyond that, states are ended as before.
constexpr size_t kKeptPerKind = 4;

struct KeptDeflate {
  z_stream* state;
  int level;
  int strategy;
};

class Pool {
 public:
  ~Pool() {
    for (auto& kept : deflates_) {
      deflateEnd(kept.state);
      delete kept.state;
    }
    for (z_stream* state : inflates_) {
      inflateEnd(state);
      delete state;
    }
  }

  z_stream* TakeDeflate(int level, int strategy) {
    std::lock_guard lock(mutex_);
    for (size_t i = deflates_.size(); i-- > 0;) {
      if (deflates_[i].level == level && deflates_[i].strategy == strategy) {
        z_stream* state = deflates_[i].state;
        deflates_.erase(deflates_.begin() + static_cast<std::ptrdiff_t>(i));
        return state;
      }
    }
    return nullptr;
  }

  bool KeepDeflate(z_stream* state, int level, int strategy) {
    std::lock_guard lock(mutex_);
    if (deflates_.size() >= kKeptPerKind) return false;
    try {
      deflates_.push_back({state, level, strategy});
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  z_stream* TakeInflate() {
    std::lock_guard lock(mutex_);
    if (inflates_.empty()) return nullptr;
    z_stream* state = inflates_.back();
    inflates_.pop_back();
    return state;
  }

  bool KeepInflate(z_stream* state) {
    std::lock_guard lock(mutex_);
    if (inflates_.size() >= kKeptPerKind) return false;
    try {
      inflates_.push_back(state);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<KeptDeflate> deflates_;
  std::vector<z_stream*> inflates_;
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

}  // namespace

z_stream* TakeDeflateState(int level, int strategy, int* result) {
  *result = Z_OK;
  if (z_stream* state = ThePool().TakeDeflate(level, strategy)) return state;
  auto* state = new (std::nothrow) z_stream{};
  if (!state) {
    *result = Z_MEM_ERROR;
    return nullptr;
  }
  *result = deflateInit2_(state, level, kMethodDeflate, kRawWindowBits, kMemoryLevel, strategy,
                          kZlibInterfaceVersion, static_cast<int>(sizeof(z_stream)));
  if (*result != Z_OK) {
    delete state;
    return nullptr;
  }
  return state;
}

int GiveBackDeflateState(z_stream* state, int level, int strategy, bool finished) {
  if (!state) return Z_OK;
  if (finished && deflateReset(state) == Z_OK && ThePool().KeepDeflate(state, level, strategy)) {
    return Z_OK;
  }
  // A state given back in mid-stream reports the data it discarded.
  const int result = deflateEnd(state);
  delete state;
  return result;
}

z_stream* TakeInflateState(int* result) {
  *result = Z_OK;
  if (z_stream* state = ThePool().TakeInflate()) return state;
  auto* state = new (std::nothrow) z_stream{};
  if (!state) {
    *result = Z_MEM_ERROR;
    return nullptr;
  }
  *result = inflateInit2_(state, kRawWindowBits, kZlibInterfaceVersion,
                          static_cast<int>(sizeof(z_stream)));
  if (*result != Z_OK) {
    delete state;
    return nullptr;
  }
  return state;
}

int GiveBackInflateState(z_stream* state) {
  if (!state) return Z_OK;
  if (inflateReset(state) == Z_OK && ThePool().KeepInflate(state)) return Z_OK;
  const int result = inflateEnd(state);
  delete state;
  return result;
}

}  // namespace corvane
