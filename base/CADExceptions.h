#pragma once
// Errors of the drawing core and of stream loading. Their texts are shown to the user as they
// stand, so each carries its full message.
#include <stdexcept>
#include <string>

class ECADCoreException : public std::runtime_error {
public:
    explicit ECADCoreException(const std::string& msg) : std::runtime_error(msg) {}
};

#define RASTREL_CAD_EXCEPTION(Name)                                                            \
    class Name : public ECADCoreException {                                                    \
    public:                                                                                    \
        explicit Name(const std::string& msg) : ECADCoreException(msg) {}                      \
    };

RASTREL_CAD_EXCEPTION(ECADOutOfBound)
RASTREL_CAD_EXCEPTION(ECADObjClassNotFound)
RASTREL_CAD_EXCEPTION(ECADSourceBlockIsReferenced)
RASTREL_CAD_EXCEPTION(ECADFileNotValid)
RASTREL_CAD_EXCEPTION(ECADListObjNotFound)
RASTREL_CAD_EXCEPTION(ECADListBlocked)

#undef RASTREL_CAD_EXCEPTION

// Kernel invariants: a programmer's error, not bad input. Stays on in release builds.
[[noreturn]] void RastrelAssertFailed(const char* expr, const char* file, int line);
#define RASTREL_ASSERT(expr) ((expr) ? (void)0 : RastrelAssertFailed(#expr, __FILE__, __LINE__))
