#pragma once
// A limit on the memory this process may take, as a small machine or
// `ulimit -v` would set one: an allocation beyond it fails. Meant for the
// code that must fail cleanly when a large picture cannot be had.

#include <cstdint>

namespace kf::test {

// While the object lives the process may map at most headroom bytes more
// than it has mapped now (the soft limit of its address space; the old one
// is restored afterwards).
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(uint64_t headroom);
    ~AddressSpaceLimit();
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

    // False in a build with AddressSanitizer (or another sanitizer that maps
    // its shadow memory as it goes): a limit would stop the sanitizer itself.
    static bool Works();

private:
    uint64_t m_oldSoft = 0;
};

} // namespace kf::test
