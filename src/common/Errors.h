#pragma once
// Named error kinds. Every error the program raises is one of these; the
// application's error report shows the kind's class name and the message.

#include <stdexcept>
#include <string>

namespace kf {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string &message) : std::runtime_error(message) {}
    // The class name of the error kind, e.g. "EDatabaseError".
    virtual const char *kind() const noexcept { return "Exception"; }
};

#define KF_ERROR_KIND(Name, Base)                                              \
    class Name : public Base {                                                 \
    public:                                                                    \
        using Base::Base;                                                      \
        const char *kind() const noexcept override { return #Name; }          \
    };

KF_ERROR_KIND(EDatabaseError, Exception)     // record tables, datapackets
KF_ERROR_KIND(EConvertError, Exception)      // a text that is not a number
KF_ERROR_KIND(EInvalidGraphic, Exception)    // a picture that is not a bitmap
KF_ERROR_KIND(EInOutError, Exception)        // file reading and writing
KF_ERROR_KIND(EFOpenError, EInOutError)      // a file that cannot be opened
KF_ERROR_KIND(EFCreateError, EInOutError)    // a file that cannot be created
KF_ERROR_KIND(EZipError, Exception)          // a broken or unwritable ZIP archive
KF_ERROR_KIND(ERegExError, Exception)        // a pattern that does not compile
KF_ERROR_KIND(EListError, Exception)         // an index outside a list

#undef KF_ERROR_KIND

} // namespace kf
