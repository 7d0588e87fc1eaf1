#include "emulator/DeviceLink.h"

#include "platform/base/UnixSocketAddress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "emulator/WireFormat.h"

namespace emulator {

namespace {

constexpr std::size_t kFrameHeader = 12;

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* p = static_cast<std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool SendFrame(int fd, std::uint8_t first, std::uint32_t number, const void* payload,
               std::size_t size) {
  std::uint8_t header[kFrameHeader] = {first};
  PutBE32(header + 4, number);
  PutBE32(header + 8, static_cast<std::uint32_t>(size));
  return WriteAll(fd, header, sizeof header) && (size == 0 || WriteAll(fd, payload, size));
}

// One frame; false on a broken link or an oversized payload.
bool ReceiveFrame(int fd, std::uint8_t& first, std::uint32_t& number, std::string& payload) {
  std::uint8_t header[kFrameHeader];
  if (!ReadAll(fd, header, sizeof header)) return false;
  first = header[0];
  number = GetBE32(header + 4);
  const std::uint32_t size = GetBE32(header + 8);
  if (size > kMaxLinkPayload) return false;
  payload.resize(size);
  return size == 0 || ReadAll(fd, payload.data(), size);
}

// Only the user's own programs use the scanner (and only its own scanner is
// trusted): the other end of a connection must run as this user.
bool PeerIsSameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

}  // namespace

// ---- client -------------------------------------------------------------

RemoteScannerDevice::RemoteScannerDevice(const std::string& socketPath) {
  const plat::UnixSocketAddress addr(socketPath);
  if (!addr.Valid()) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (::connect(fd, addr.Get(), addr.Size()) != 0 || !PeerIsSameUser(fd)) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  const Reply r = Call(LinkOp::Identify, 0, nullptr, 0);
  if (r.ok) {
    vendorId_ = static_cast<std::uint16_t>(r.count >> 16);
    productId_ = static_cast<std::uint16_t>(r.count);
  }
}

RemoteScannerDevice::~RemoteScannerDevice() {
  if (fd_ >= 0) ::close(fd_);
}

RemoteScannerDevice::Reply RemoteScannerDevice::Call(LinkOp op, std::uint32_t arg,
                                                     const void* payload, std::size_t size) const {
  std::lock_guard lock(mutex_);
  Reply r;
  if (fd_ < 0 || size > kMaxLinkPayload) return r;
  if (SendFrame(fd_, static_cast<std::uint8_t>(op), arg, payload, size) &&
      ReceiveFrame(fd_, r.result, r.count, r.payload)) {
    r.ok = true;
    return r;
  }
  ::close(fd_);
  fd_ = -1;
  return r;
}

void RemoteScannerDevice::LinkLost() const {
  ConnectionObserver observer;
  {
    std::lock_guard lock(mutex_);
    if (lostReported_) return;
    lostReported_ = true;
    observer = observer_;
  }
  if (observer) observer(false);
}

namespace {
// A reply the server could not have sent means the link speaks nonsense.
bool IsTransferStatus(std::uint8_t result) {
  return result <= static_cast<std::uint8_t>(TransferStatus::Disconnected);
}
}  // namespace

TransferResult RemoteScannerDevice::BulkOut(const std::uint8_t* data, std::size_t size) {
  const std::size_t sent = data ? size : 0;
  const Reply r = Call(LinkOp::BulkOut, 0, data, sent);
  if (!r.ok || !IsTransferStatus(r.result) || r.count > sent) {
    LinkLost();
    return {TransferStatus::Disconnected, 0};
  }
  const auto status = static_cast<TransferStatus>(r.result);
  if (status == TransferStatus::Disconnected) LinkLost();
  return {status, r.count};
}

TransferResult RemoteScannerDevice::BulkIn(std::uint8_t* buffer, std::size_t max) {
  const std::uint32_t ask = static_cast<std::uint32_t>(std::min<std::size_t>(max, kMaxLinkPayload));
  const Reply r = Call(LinkOp::BulkIn, ask, nullptr, 0);
  if (!r.ok || !IsTransferStatus(r.result) || r.payload.size() > ask) {
    LinkLost();
    return {TransferStatus::Disconnected, 0};
  }
  const auto status = static_cast<TransferStatus>(r.result);
  if (status == TransferStatus::Disconnected) LinkLost();
  if (buffer != nullptr && !r.payload.empty())
    std::memcpy(buffer, r.payload.data(), r.payload.size());
  return {status, r.payload.size()};
}

bool RemoteScannerDevice::ResetPipe(std::uint32_t pipe) {
  const Reply r = Call(LinkOp::ResetPipe, pipe, nullptr, 0);
  if (!r.ok) LinkLost();
  return r.ok && r.result == 1;
}

bool RemoteScannerDevice::CancelIo(std::uint32_t pipe) {
  const Reply r = Call(LinkOp::CancelIo, pipe, nullptr, 0);
  if (!r.ok) LinkLost();
  return r.ok && r.result == 1;
}

bool RemoteScannerDevice::IsConnected() const {
  const Reply r = Call(LinkOp::Identify, 0, nullptr, 0);
  if (!r.ok) LinkLost();
  return r.ok && r.result == 1;
}

void RemoteScannerDevice::SetConnectionObserver(ConnectionObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

bool RemoteScannerDevice::Control(const std::string& line, std::string* answer) {
  const Reply r = Call(LinkOp::Control, 0, line.data(), line.size());
  if (!r.ok) LinkLost();
  if (answer != nullptr) *answer = r.payload;
  return r.ok && r.result == 1;
}

// ---- server -------------------------------------------------------------

DeviceServer::DeviceServer(EmulatedScanner& scanner, std::string socketPath)
    : scanner_(scanner), path_(std::move(socketPath)) {}

DeviceServer::~DeviceServer() { Stop(); }

void DeviceServer::SetControlHandler(ControlHandler handler) {
  std::lock_guard lock(mutex_);
  control_ = std::move(handler);
}

bool DeviceServer::Listen() {
  const plat::UnixSocketAddress addr(path_);
  if (!addr.Valid()) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::unlink(path_.c_str());  // a leftover of a program that did not stop cleanly
  if (::bind(fd, addr.Get(), addr.Size()) != 0 || ::listen(fd, 8) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return false;
  }
  ::chmod(path_.c_str(), 0600);
  listenFd_ = fd;
  return true;
}

bool DeviceServer::Start() {
  std::lock_guard lock(mutex_);
  if (acceptThread_.joinable()) return true;
  if (::pipe2(wakeFd_, O_CLOEXEC) != 0) return false;
  if (!Listen()) {
    const int saved = errno;
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
    wakeFd_[0] = wakeFd_[1] = -1;
    errno = saved;
    return false;
  }
  stopping_ = false;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void DeviceServer::Withdraw() {
  std::lock_guard lock(mutex_);
  if (listenFd_ < 0) return;
  ::unlink(path_.c_str());
  ::close(listenFd_);
  listenFd_ = -1;
  if (wakeFd_[1] >= 0) (void)!::write(wakeFd_[1], "w", 1);
}

bool DeviceServer::Republish() {
  std::lock_guard lock(mutex_);
  if (listenFd_ >= 0 || !acceptThread_.joinable()) return listenFd_ >= 0;
  if (!Listen()) return false;
  (void)!::write(wakeFd_[1], "r", 1);
  return true;
}

void DeviceServer::AcceptLoop() {
  for (;;) {
    int listenFd;
    {
      std::lock_guard lock(mutex_);
      listenFd = listenFd_;
    }
    pollfd fds[2] = {{wakeFd_[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
    const int n = ::poll(fds, listenFd >= 0 ? 2 : 1, -1);
    if (n < 0 && errno == EINTR) continue;
    if (stopping_) return;
    if (fds[0].revents != 0) {
      // Withdraw or Republish changed the listening socket: look again.
      char drain[16];
      (void)!::read(wakeFd_[0], drain, sizeof drain);
      continue;
    }
    if (listenFd < 0 || (fds[1].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (!PeerIsSameUser(fd)) {
      ::close(fd);
      continue;
    }
    ReapFinished();
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    Connection& c = connections_.emplace_back();
    c.fd = fd;
    c.thread = std::thread([this, &c, fd] { Serve(c, fd); });
  }
}

void DeviceServer::ReapFinished() {
  std::list<Connection> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (auto& c : finished) c.thread.join();
}

void DeviceServer::Serve(Connection& connection, int fd) {
  std::uint8_t op;
  std::uint32_t arg;
  std::string payload;
  std::vector<std::uint8_t> buffer;
  while (!stopping_ && ReceiveFrame(fd, op, arg, payload)) {
    bool sent = false;
    switch (static_cast<LinkOp>(op)) {
      case LinkOp::BulkOut: {
        const TransferResult r =
            scanner_.BulkOut(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
        sent = SendFrame(fd, static_cast<std::uint8_t>(r.status),
                         static_cast<std::uint32_t>(r.bytes), nullptr, 0);
        break;
      }
      case LinkOp::BulkIn: {
        buffer.resize(std::min<std::uint32_t>(arg, kMaxLinkPayload));
        const TransferResult r = scanner_.BulkIn(buffer.data(), buffer.size());
        sent = SendFrame(fd, static_cast<std::uint8_t>(r.status), 0, buffer.data(), r.bytes);
        break;
      }
      case LinkOp::ResetPipe:
        sent = SendFrame(fd, scanner_.ResetPipe(arg) ? 1 : 0, 0, nullptr, 0);
        break;
      case LinkOp::CancelIo:
        sent = SendFrame(fd, scanner_.CancelIo(arg) ? 1 : 0, 0, nullptr, 0);
        break;
      case LinkOp::Identify:
        sent = SendFrame(fd, scanner_.IsConnected() ? 1 : 0,
                         (std::uint32_t{scanner_.VendorId()} << 16) | scanner_.ProductId(), nullptr,
                         0);
        break;
      case LinkOp::Control: {
        ControlHandler handler;
        {
          std::lock_guard lock(mutex_);
          handler = control_;
        }
        std::string answer = "control not available";
        const bool ok = handler ? handler(payload, answer) : false;
        sent = SendFrame(fd, ok ? 1 : 0, 0, answer.data(), answer.size());
        break;
      }
      default:
        sent = false;  // a peer that speaks something else is cut off
        break;
    }
    if (!sent) break;
  }
  std::lock_guard lock(mutex_);
  ::close(fd);
  connection.fd = -1;
  connection.done = true;
}

void DeviceServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!acceptThread_.joinable()) return;
    stopping_ = true;
    if (listenFd_ >= 0) {
      ::unlink(path_.c_str());
      ::close(listenFd_);
      listenFd_ = -1;
    }
    (void)!::write(wakeFd_[1], "q", 1);
    // Wakes the connection threads out of their reads.
    for (const Connection& c : connections_)
      if (c.fd >= 0) ::shutdown(c.fd, SHUT_RDWR);
  }
  acceptThread_.join();
  std::list<Connection> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) c.thread.join();
  std::lock_guard lock(mutex_);
  ::close(wakeFd_[0]);
  ::close(wakeFd_[1]);
  wakeFd_[0] = wakeFd_[1] = -1;
}

}  // namespace emulator
