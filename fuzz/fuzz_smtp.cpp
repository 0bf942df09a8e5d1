// What a mail server and a recipient text can hand the mail layer: a
// conversation (pieces starting with '>' are our commands, the others server
// replies), its end, and the same pieces as recipients and message bodies.
#include "FuzzInput.h"
#include "mail/MailMessage.h"
#include "mail/QuotedPrintable.h"
#include "mail/SmtpStages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    FuzzInput input(data + 1, size - 1);
    mail::SmtpStageTracker tracker((data[0] & 1) != 0);
    if (data[0] & 2) {
        tracker.requireAuthentication("PLAIN", (data[0] & 4) != 0);
    }
    for (std::string piece = input.next(); !piece.empty(); piece = input.next()) {
        if (piece[0] == '>') {
            tracker.clientLine(piece.substr(1));
        } else {
            tracker.serverLines(piece);
        }
        if (const auto address = mail::PlainAddress(piece);
            address && address->find_first_of(" <>,;\"'\r\n") != std::string::npos) {
            __builtin_trap();  // a plain address never carries these
        }
        const std::string encoded = mail::QuotedPrintable(piece);
        for (std::size_t start = 0; start < encoded.size();) {
            const std::size_t end = std::min(encoded.find("\r\n", start), encoded.size());
            if (end - start > 76) {
                __builtin_trap();  // no encoded line passes 76 characters
            }
            start = end + 2;
        }
    }
    tracker.finish(static_cast<CURLcode>(data[0] >> 3), (data[0] & 4) != 0);
    return 0;
}
