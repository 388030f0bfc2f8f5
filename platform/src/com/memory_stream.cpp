// CreateStreamOnHGlobal: a stream over a growable block of memory that the
// stream owns. Clones share the block and keep their own position, as the
// device's do.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "ce/objidl.h"
#include "kernel/not_implemented.h"

namespace {

// A stream never grows past this, so a position and a size always fit the
// 32-bit counts of Read and Write and the arithmetic below cannot wrap.
constexpr ULONGLONG kMaxSize = 0x7FFFFFFF;

struct Block {
  std::mutex lock;
  std::vector<BYTE> bytes;
};

class MemoryStream final : public IStream {
 public:
  explicit MemoryStream(std::shared_ptr<Block> block, ULONGLONG position = 0)
      : block_(std::move(block)), position_(position) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) || IsEqualIID(iid, IID_IStream)) {
      *object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++count_; }
  ULONG Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
    if (read) *read = 0;
    if (buffer == nullptr && size != 0) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(block_->lock);
    const ULONGLONG length = block_->bytes.size();
    const ULONGLONG available = position_ < length ? length - position_ : 0;
    const ULONG moved = static_cast<ULONG>(std::min<ULONGLONG>(available, size));
    if (moved != 0) std::memcpy(buffer, block_->bytes.data() + position_, moved);
    position_ += moved;
    if (read) *read = moved;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
    if (written) *written = 0;
    if (buffer == nullptr && size != 0) return STG_E_INVALIDPOINTER;
    std::lock_guard guard(block_->lock);
    const ULONGLONG end = position_ + size;
    if (end > kMaxSize) return STG_E_MEDIUMFULL;
    try {
      if (end > block_->bytes.size()) block_->bytes.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return STG_E_MEDIUMFULL;
    }
    if (size != 0) std::memcpy(block_->bytes.data() + position_, buffer, size);
    position_ = end;
    if (written) *written = size;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
    std::lock_guard guard(block_->lock);
    LONGLONG base = 0;
    switch (origin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = static_cast<LONGLONG>(position_);
        break;
      case STREAM_SEEK_END:
        base = static_cast<LONGLONG>(block_->bytes.size());
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    // Both terms lie within +-2^63 only when the move is bounded first.
    const LONGLONG limit = static_cast<LONGLONG>(kMaxSize);
    if (move.QuadPart < -limit * 2 || move.QuadPart > limit * 2) return STG_E_INVALIDFUNCTION;
    const LONGLONG target = base + move.QuadPart;
    if (target < 0 || target > limit) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<ULONGLONG>(target);
    if (newPosition) newPosition->QuadPart = position_;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER newSize) override {
    if (newSize.QuadPart > kMaxSize) return STG_E_MEDIUMFULL;
    std::lock_guard guard(block_->lock);
    try {
      block_->bytes.resize(static_cast<size_t>(newSize.QuadPart));
    } catch (const std::bad_alloc&) {
      return STG_E_MEDIUMFULL;
    }
    return S_OK;
  }

  HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    if (read) read->QuadPart = 0;
    if (written) written->QuadPart = 0;
    if (target == nullptr) return STG_E_INVALIDPOINTER;
    std::vector<BYTE> chunk;
    {
      std::lock_guard guard(block_->lock);
      const ULONGLONG length = block_->bytes.size();
      const ULONGLONG available = position_ < length ? length - position_ : 0;
      const ULONGLONG moved = std::min(available, size.QuadPart);
      chunk.assign(block_->bytes.begin() + static_cast<std::ptrdiff_t>(position_),
                   block_->bytes.begin() + static_cast<std::ptrdiff_t>(position_ + moved));
      position_ += moved;
    }
    if (read) read->QuadPart = chunk.size();
    ULONG done = 0;
    const HRESULT hr = target->Write(chunk.data(), static_cast<ULONG>(chunk.size()), &done);
    if (written) written->QuadPart = done;
    return hr;
  }

  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* stat, DWORD flags) override {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    if (flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    std::lock_guard guard(block_->lock);
    stat->cbSize.QuadPart = block_->bytes.size();
    return S_OK;
  }

  HRESULT Clone(IStream** stream) override {
    if (stream == nullptr) return STG_E_INVALIDPOINTER;
    ULONGLONG position = 0;
    {
      std::lock_guard guard(block_->lock);
      position = position_;
    }
    *stream = new (std::nothrow) MemoryStream(block_, position);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~MemoryStream() = default;

  std::atomic<ULONG> count_{1};
  std::shared_ptr<Block> block_;
  ULONGLONG position_ = 0;  // guarded by the block's lock
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL /*deleteOnRelease*/, LPSTREAM* stream) {
  if (stream == nullptr) return E_INVALIDARG;
  *stream = nullptr;
  if (global != nullptr) {
    ce::kernel::NotImplemented("CreateStreamOnHGlobal over a caller's memory block");
    return E_NOTIMPL;
  }
  auto block = std::make_shared<Block>();
  *stream = new (std::nothrow) MemoryStream(std::move(block));
  return *stream ? S_OK : E_OUTOFMEMORY;
}
