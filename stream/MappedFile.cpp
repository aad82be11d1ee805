#include "stream/MappedFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

// The SIGBUS handler's view of the one mapped file: the address range of
// its current window and the lowest page that faulted (0: none). Plain
// lock-free atomics, so the handler may read and write them.
std::atomic<bool> g_slotTaken{false};
std::atomic<uintptr_t> g_mapBegin{0};
std::atomic<uintptr_t> g_mapEnd{0};
std::atomic<uintptr_t> g_faultPage{0};
uintptr_t g_pageSize = 4096;
struct sigaction g_previous {};
std::once_flag g_installOnce;

// Reading a page of a file mapping past the file's end raises SIGBUS. For a
// page of the current window, a page of zeros is mapped in its place, so
// the read that faulted completes (with 0) when the handler returns; the
// source then ends the input at that page. Any other SIGBUS goes on to the
// action that was there before.
void OnSigbus(int sig, siginfo_t* info, void* context) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(info->si_addr);
    if (a >= g_mapBegin.load(std::memory_order_relaxed) && a < g_mapEnd.load(std::memory_order_relaxed)) {
        const uintptr_t page = a & ~(g_pageSize - 1);
        void* zero = ::mmap(reinterpret_cast<void*>(page), g_pageSize, PROT_READ,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zero != MAP_FAILED) {
            uintptr_t seen = g_faultPage.load(std::memory_order_relaxed);
            while ((seen == 0 || page < seen) && !g_faultPage.compare_exchange_weak(seen, page)) {
            }
            return;
        }
    }
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    // The default action, taken when the faulting instruction runs again.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &dfl, nullptr);
}

void InstallSigbusHandler() {
    g_pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction sa {};
    sa.sa_sigaction = OnSigbus;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, &g_previous);
}

// Bytes held are reported as an int; a file's remaining bytes are capped.
constexpr long long kMaxHeld = 1LL << 30;

}  // namespace

CMappedFile::CMappedFile(size_t windowSize) {
    m_nPageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t pages = (windowSize + m_nPageSize - 1) / m_nPageSize;
    m_nWindowSize = (pages < 2 ? 2 : pages) * m_nPageSize;
}

CMappedFile::~CMappedFile() {
    Unmap();
    if (m_fd >= 0) ::close(m_fd);
    if (m_bOwnsHandlerSlot) g_slotTaken.store(false);
}

int CMappedFile::Open(const char* path) {
    if (m_fd >= 0 || path == nullptr) return 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    // An empty regular file may still give bytes to read(2) (files under
    // /proc): those go to the reader thread.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        ::close(fd);
        return 0;
    }
    bool expected = false;
    if (!g_slotTaken.compare_exchange_strong(expected, true)) {
        ::close(fd);
        return 0;
    }
    m_bOwnsHandlerSlot = true;
    std::call_once(g_installOnce, InstallSigbusHandler);
    m_fd = fd;
    m_nFileSize = st.st_size;
    m_nEnd = st.st_size;
    m_nPos = 0;
    if (!MapAt()) {
        ::close(m_fd);
        m_fd = -1;
        g_slotTaken.store(false);
        m_bOwnsHandlerSlot = false;
        return 0;
    }
    return 1;
}

void CMappedFile::TakeFault() {
    // The handler ran on this thread, inside a read of the window.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (g_faultPage.load(std::memory_order_relaxed) == 0) return;
    const uintptr_t page = g_faultPage.exchange(0);
    const uintptr_t base = reinterpret_cast<uintptr_t>(m_pMap);
    long long at = m_nPos;
    if (m_pMap != nullptr && page >= base && page < base + m_nMapLength)
        at = m_nMapOffset + static_cast<long long>(page - base);
    if (at < m_nEnd) m_nEnd = at;
    m_bReadError = true;
}

bool CMappedFile::IsEnd() {
    TakeFault();
    // Only near the end is this asked: look again at the file's size. Grown,
    // it is read on; cut short, the input ends at its new size, as a read
    // error (the bytes past it may already have been seen as zeros).
    struct stat st {};
    if (!m_bReadError && ::fstat(m_fd, &st) == 0) {
        if (st.st_size > m_nEnd) m_nEnd = st.st_size;
        if (st.st_size < m_nEnd) {
            m_nEnd = st.st_size;
            m_bReadError = true;
        }
    }
    return true;
}

int CMappedFile::GetDataSize() {
    TakeFault();
    const long long held = m_nEnd - m_nPos;
    return held <= 0 ? 0 : static_cast<int>(held < kMaxHeld ? held : kMaxHeld);
}

const uint8_t* CMappedFile::Window(int n, uint8_t* scratch) {
    TakeFault();
    const long long mapEnd = m_nMapOffset + static_cast<long long>(m_nMapLength);
    if (m_pMap == nullptr || m_nPos < m_nMapOffset || m_nPos + n > mapEnd) {
        if (!MapAt()) {
            // No address space for the window: the input ends here.
            m_nEnd = m_nPos;
            m_bReadError = true;
            if (scratch != nullptr) std::memset(scratch, 0, static_cast<size_t>(n));
            return scratch;
        }
    }
    return m_pMap + (m_nPos - m_nMapOffset);
}

int CMappedFile::Run(const uint8_t*& p) {
    TakeFault();
    if (m_pMap == nullptr || m_nPos < m_nMapOffset) return 0;
    long long run = m_nMapOffset + static_cast<long long>(m_nMapLength) - m_nPos;
    if (run > m_nEnd - m_nPos) run = m_nEnd - m_nPos;
    if (run <= 0) return 0;
    p = m_pMap + (m_nPos - m_nMapOffset);
    return static_cast<int>(run < kMaxHeld ? run : kMaxHeld);
}

bool CMappedFile::MapAt() {
    const long long start = m_nPos & ~static_cast<long long>(m_nPageSize - 1);
    const long long left = m_nEnd - start;
    if (left <= 0) return false;
    const size_t length = left < static_cast<long long>(m_nWindowSize) ? static_cast<size_t>(left) : m_nWindowSize;
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, m_fd, static_cast<off_t>(start));
    if (p == MAP_FAILED) return false;
    // One front-to-back pass: aggressive read-ahead within the window, and
    // the next window's pages asked for while this one is checked.
    ::madvise(p, length, MADV_SEQUENTIAL);
    if (start == 0) ::posix_fadvise(m_fd, 0, static_cast<off_t>(length), POSIX_FADV_WILLNEED);
    ::posix_fadvise(m_fd, static_cast<off_t>(start + static_cast<long long>(length)),
                    static_cast<off_t>(m_nWindowSize), POSIX_FADV_WILLNEED);
    Unmap();
    m_pMap = static_cast<uint8_t*>(p);
    m_nMapLength = length;
    m_nMapOffset = start;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(p);
    g_mapBegin.store(begin);
    g_mapEnd.store(begin + length);
    return true;
}

void CMappedFile::Unmap() {
    if (m_pMap == nullptr) return;
    g_mapBegin.store(0);
    g_mapEnd.store(0);
    ::munmap(m_pMap, m_nMapLength);
    m_pMap = nullptr;
    m_nMapLength = 0;
}
