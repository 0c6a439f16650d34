#include "sandbox/tds/ClientConnection.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/Packet.h"
#include "sandbox/tds/PacketWriter.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/ProtocolError.h"
#include "sandbox/tds/ResultEncoder.h"
#include "sandbox/tds/RpcRequest.h"
#include "sandbox/tds/SqlBatch.h"

namespace sandbox::tds {
namespace {

std::string versionName(std::uint32_t v) {
    switch (v) {
        case kTds71:
            return "7.1";
        case kTds72:
            return "7.2";
        case kTds73A:
            return "7.3A";
        case kTds73B:
            return "7.3B";
        default:
            return "7.4";
    }
}

bool mentionsPassword(const std::string& sql) {
    return dsadmin::AsciiLower(sql).find("password") != std::string::npos;
}

// The start of a statement for the log: first line, at most 120 characters; nothing when the
// text mentions a password.
std::string statementExcerpt(const std::string& sql) {
    if (mentionsPassword(sql)) return "(statement not shown)";
    std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return "";
    std::string line = sql.substr(start, sql.find_first_of("\r\n", start) - start);
    if (line.size() > 120) line = line.substr(0, 120) + "...";
    return line;
}

constexpr std::size_t kMaxLoggedErrorBytes = 300;

}  // namespace

ClientConnection::ClientConnection(Socket socket, Engine& engine, ServerLog& log,
                                   ConnectionSettings settings, std::uint16_t spid, int stopFd,
                                   SessionSlots* slots)
    : socket_(std::move(socket)),
      engine_(engine),
      log_(log),
      settings_(std::move(settings)),
      spid_(spid),
      stopFd_(stopFd),
      slots_(slots),
      peer_(socket_.peerAddress()),
      version_(kTds74) {}

void ClientConnection::log(const std::string& text) {
    log_.write("spid " + std::to_string(spid_) + " from " + peer_ + ": " + text);
}

void ClientConnection::evict() {
    std::lock_guard<std::mutex> lock(socketMutex_);
    if (loggedIn_.load() || !socket_.valid()) return;
    evicted_ = true;
    socket_.shutdown();
}

void ClientConnection::run() noexcept {
    loginDeadline_ =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.readTimeoutMs);
    try {
        socket_.configureConnection(settings_.readTimeoutMs);
        startStrictTlsIfAsked();
        while (!closing_) {
            dispatch(readMessage());
            request_.reset();  // what the request held goes back to the budget
        }
    } catch (const TlsFailure& e) {
        log(std::string("closed before login: ") + e.what());
    } catch (const SocketClosed& e) {
        if (state_ != State::LoggedIn)
            log(std::string("closed before login: ") +
                (evicted_ ? "made room for a newer connection" : e.what()));
    } catch (const ProtocolError& e) {
        log(std::string("closed: protocol error: ") + e.what());
    } catch (const std::exception& e) {
        log(std::string("closed: ") + e.what());
    } catch (...) {
        log("closed: unknown failure");
    }
    session_.reset();
    tls_.reset();
    if (holdsSlot_) slots_->give();
    std::lock_guard<std::mutex> lock(socketMutex_);
    socket_.close();
}

void ClientConnection::startStrictTlsIfAsked() {
    if (settings_.encryption == EncryptionMode::Off || !settings_.tls) return;
    // A TLS handshake record (content type 22) where a TDS packet type would be: TDS 8.0.
    const int wait = Socket::waitLimit(settings_.readTimeoutMs, loginDeadline_);
    if (socket_.peekByte(wait, stopFd_) != 0x16) return;
    tls_ = TlsStream::acceptDirect(socket_, *settings_.tls, wait, stopFd_);
    encryption_ =
        "TDS 8.0 " + tls_->description() + (tls_->alpn().empty() ? "" : ", ALPN " + tls_->alpn());
}

PacketMessage ClientConnection::readMessage() {
    const bool loggedIn = state_ == State::LoggedIn;
    MessageAssembler assembler(loggedIn ? settings_.maxMessageBytes
                                        : settings_.maxLoginMessageBytes);
    const int timeout = settings_.readTimeoutMs;
    // Before login every wait counts against one deadline for the whole login.
    const Socket::Deadline deadline = loggedIn ? Socket::Deadline::max() : loginDeadline_;
    if (loggedIn) {
        request_ = std::make_unique<RequestMemory>(settings_.memory);
        overBudget_ = false;
    }
    const auto loginTooLong = [&] {
        return SocketClosed("login not finished within " + std::to_string(timeout / 1000) + " s");
    };
    for (;;) {
        // Between requests a logged-in client may stay idle as long as it likes.
        if (!loggedIn && Socket::waitLimit(timeout, deadline) == 0) throw loginTooLong();
        PacketHeader h;
        std::string payload;
        // Through TLS the login's deadline shortens each wait instead.
        const int tlsTimeout = loggedIn ? timeout : Socket::waitLimit(timeout, deadline);
        auto read = [&](char* out, std::size_t n) {
            if (tls_)
                tls_->readExact(out, n, tlsTimeout, stopFd_);
            else
                socket_.readExact(out, n, timeout, stopFd_, deadline);
        };
        try {
            const int wait =
                assembler.inMessage() || !loggedIn ? Socket::waitLimit(timeout, deadline) : -1;
            if (tls_)
                tls_->waitReadable(wait, stopFd_);
            else
                socket_.waitReadable(wait, stopFd_);
            char header[kHeaderSize];
            read(header, kHeaderSize);
            h = PacketHeader::parse(std::string_view(header, kHeaderSize));
            payload.assign(h.length - kHeaderSize, '\0');
            read(payload.data(), payload.size());
        } catch (const SocketClosed&) {
            if (!loggedIn && Socket::waitLimit(timeout, deadline) == 0) throw loginTooLong();
            throw;
        }
        if (tlsForLoginOnly_) {
            // Login-only encryption covers exactly one packet; the client goes on in clear.
            if (tls_->pending()) throw ProtocolError("more than the login packet inside TLS");
            tls_.reset();
            tlsForLoginOnly_ = false;
        }
        if (loggedIn && !overBudget_ && !request_->charge(payload.size())) overBudget_ = true;
        if (overBudget_) {
            // Read to its end and dropped; the whole message is answered with 701.
            if (!(h.status & kEndOfMessage)) continue;
            PacketMessage dropped;
            dropped.type = h.type;
            return dropped;
        }
        if (auto m = assembler.add(h, payload)) return std::move(*m);
    }
}

void ClientConnection::send(const std::string& payload) {
    write(frameMessage(kTabularResult, payload, packetSize_, spid_));
}

void ClientConnection::write(std::string_view bytes) {
    if (tls_)
        tls_->writeAll(bytes);
    else
        socket_.writeAll(bytes);
}

void ClientConnection::dispatch(const PacketMessage& m) {
    if (state_ != State::LoggedIn) {
        if (m.type == kPrelogin && state_ == State::Prelogin) return onPrelogin(m);
        if (m.type == kLogin7 && state_ == State::Prelogin && !tls_ &&
            settings_.encryption == EncryptionMode::Force)
            throw ProtocolError("LOGIN7 without PRELOGIN while encryption is required");
        if (m.type == kLogin7) return onLogin7(m);
        throw ProtocolError("packet type " + std::to_string(m.type) + " before login");
    }
    if (m.type == kAttention) {
        TokenWriter out = tokens();
        out.done(kTokenDone, kDoneAttention, 0, 0);
        return send(out.take());
    }
    if (overBudget_) return refuseForMemory();
    if (m.ignore) {  // the client gave up sending this request: one DONE, nothing run
        TokenWriter out = tokens();
        out.done(kTokenDone, kDoneFinal, 0, 0);
        return send(out.take());
    }
    switch (m.type) {
        case kSqlBatch:
            return onSqlBatch(m);
        case kRpc:
            return onRpc(m);
        case kTransactionManager:
            return onUnsupported("The sandbox does not support transactions.");
        case kBulkLoad:
            return onUnsupported("The sandbox does not support bulk load.");
        default:
            throw ProtocolError("unexpected packet type " + std::to_string(m.type));
    }
}

Encryption ClientConnection::preloginAnswer(const PreloginRequest& request) const {
    if (settings_.encryption == EncryptionMode::Off || !settings_.tls || tls_)
        return Encryption::NotSupported;  // no TLS, or TDS 8.0's already around everything
    const Encryption asked = request.encryption.value_or(Encryption::NotSupported);
    if (settings_.encryption == EncryptionMode::Force) return Encryption::Required;
    if (asked == Encryption::NotSupported) return Encryption::NotSupported;
    return asked == Encryption::Off ? Encryption::Off : Encryption::On;
}

void ClientConnection::onPrelogin(const PacketMessage& m) {
    const PreloginRequest request = parsePrelogin(m.payload);
    const Encryption answer = preloginAnswer(request);
    state_ = State::Login;
    send(encodePreloginReply(answer));
    if (answer == Encryption::NotSupported) return;
    if (request.encryption.value_or(Encryption::NotSupported) == Encryption::NotSupported) {
        log("closed before login: the client cannot encrypt and this server requires encryption");
        closing_ = true;
        return;
    }
    tls_ = TlsStream::acceptInPrelogin(socket_, *settings_.tls,
                                       Socket::waitLimit(settings_.readTimeoutMs, loginDeadline_),
                                       stopFd_, settings_.maxLoginMessageBytes, spid_);
    tlsForLoginOnly_ = answer == Encryption::Off;
    encryption_ = (tlsForLoginOnly_ ? "login only, " : "whole session, ") + tls_->description();
}

void ClientConnection::onLogin7(const PacketMessage& m) {
    Login7 login = parseLogin7(m.payload);
    if (login.tdsVersion < kTds70) throw ProtocolError("TDS version below 7.0");
    version_ = negotiateVersion(login.tdsVersion);
    std::uint32_t wanted = login.packetSize == 0 ? 4096 : login.packetSize;
    packetSize_ = std::clamp<std::uint32_t>(wanted, 512, 32767);
    Message error;
    if (login.integratedSecurity || login.userName.empty() ||
        login.userName.find('\\') != std::string::npos) {
        error = {18456, 1, 14, "Login failed for user '" + login.userName + "'.", 1};
    } else {
        session_ = engine_.login(login.userName, login.password, login.database, error);
    }
    if (!session_) return refuseLogin(login.userName, error);
    if (slots_ && !(holdsSlot_ = slots_->take())) {
        session_.reset();
        return refuseLogin(
            login.userName,
            {17809, 1, 20,
             "Could not connect because the maximum number of '" + std::to_string(slots_->max()) +
                 "' user connections has already been reached. The system "
                 "administrator can use sp_configure to increase the maximum "
                 "value. The connection has been closed.",
             1});
    }
    {
        // From here on the server may no longer evict the connection to make room.
        std::lock_guard<std::mutex> lock(socketMutex_);
        loggedIn_.store(true);
    }

    loginDb_ = currentDb_ = session_->database();
    TokenWriter out = tokens();
    out.envChange(kEnvDatabase, currentDb_, "master");
    out.message({5701, 1, 0, "Changed database context to '" + currentDb_ + "'.", 1});
    out.envChangeCollation();
    out.envChange(kEnvLanguage, "us_english", "");
    out.message({5703, 1, 0, "Changed language setting to us_english.", 1});
    out.loginAck();
    std::string size = std::to_string(packetSize_);
    out.envChange(kEnvPacketSize, size, size);
    out.done(kTokenDone, kDoneFinal, 0, 0);
    send(out.take());
    state_ = State::LoggedIn;
    log("login '" + login.userName + "' to '" + currentDb_ + "' accepted (TDS " +
        versionName(version_) + ", packet " + size + ", app '" + login.appName +
        "', encryption: " + encryption_ + ")");
}

void ClientConnection::refuseLogin(const std::string& user, const Message& error) {
    TokenWriter out = tokens();
    Message failed{18456, 1, 14, "Login failed for user '" + user + "'.", 1};
    // A missing initial database is reported first, then the login failure itself (tedious
    // would retry a lone 4060 as transient).
    if (error.number != 0 && error.number != 18456 && error.number != 17809) out.message(error);
    out.message(error.number == 18456 || error.number == 17809 ? error : failed);
    out.done(kTokenDone, kDoneError, 0, 0);
    send(out.take());
    log("login '" + user + "' refused: " + (error.text.empty() ? failed.text : error.text));
    closing_ = true;
}

void ClientConnection::resetIfAsked(const PacketMessage& m, TokenWriter& out) {
    if (!(m.status & (kResetConnection | kResetConnectionSkipTran))) return;
    if (session_->database() != loginDb_) {
        StatementResult r = session_->useDatabase(loginDb_);
        if (!r.error) {
            out.envChange(kEnvDatabase, loginDb_, currentDb_);
            currentDb_ = loginDb_;
        }
    }
    out.envChangeResetAck();
}

std::vector<StatementResult> ClientConnection::execute(const std::string& sql,
                                                       const std::vector<Param>& params) {
    try {
        return session_->execute(sql, params);
    } catch (const std::exception& e) {
        log(std::string("engine failure: ") + e.what());
        StatementResult r;
        r.error = Message{0, 1, 16, std::string("The sandbox engine failed: ") + e.what(), 1};
        return {r};
    }
}

void ClientConnection::onSqlBatch(const PacketMessage& m) {
    RequestMemory::Scope scope(*request_);
    std::string sql = parseSqlBatch(m.payload, version_);
    if (!request_->charge(sql.size())) return refuseForMemory();
    TokenWriter out = tokens();
    resetIfAsked(m, out);
    std::vector<StatementResult> results = execute(sql, {});
    ResultEncoder(out).batch(results, currentDb_);
    sendWithinBudget(out);
    logRefused(results, sql);
}

void ClientConnection::sendWithinBudget(TokenWriter& out) {
    if (!request_->charge(out.size())) return refuseForMemory();
    send(out.take());
}

void ClientConnection::refuseForMemory() {
    TokenWriter out = tokens();
    ResultEncoder(out).error(Message{701, 123, 17,
                                     "There is insufficient system memory in resource pool "
                                     "'default' to run this query.",
                                     1});
    send(out.take());
    log("refused (error 701): the request would pass the server's memory cap of " +
        std::to_string(settings_.memory ? settings_.memory->cap() >> 20 : 0) + " MiB");
}

void ClientConnection::onRpc(const PacketMessage& m) {
    RequestMemory::Scope scope(*request_);
    TokenWriter out = tokens();
    resetIfAsked(m, out);
    const std::string before = currentDb_;
    ProcedureRun run;
    try {
        run = procedures_.call(parseRpcRequest(m.payload, version_), *session_);
    } catch (const UnsupportedRequest& e) {
        return onUnsupported(e.what(), e.number());
    } catch (const ProtocolError&) {
        throw;
    } catch (const std::exception& e) {
        log(std::string("engine failure: ") + e.what());
        return onUnsupported(std::string("The sandbox engine failed: ") + e.what());
    }
    std::optional<std::string> revertTo;
    if (session_->database() != before && !session_->useDatabase(before).error) revertTo = before;
    ResultEncoder(out).procedure(run.results, currentDb_, revertTo, run.handle);
    sendWithinBudget(out);
    logRefused(run.results, run.sql);
}

void ClientConnection::onUnsupported(const std::string& what, std::int32_t number) {
    TokenWriter out = tokens();
    ResultEncoder(out).error(Message{number, 1, 16, what, 1});
    send(out.take());
    log("refused: " + what);
}

// Error texts quote the statement ("Incorrect syntax near '...'"), so they are shown as the
// statement is: not at all when it mentions a password, else at most 300 characters.
void ClientConnection::logRefused(const std::vector<StatementResult>& results,
                                  const std::string& sql) {
    const bool secret = mentionsPassword(sql);
    for (const auto& r : results) {
        if (!r.error || r.error->severity <= 10) continue;
        const std::string text =
            secret ? "(text not shown)" : ServerLog::fit(r.error->text, kMaxLoggedErrorBytes);
        log("refused (error " + std::to_string(r.error->number) + "): " + text + " | " +
            statementExcerpt(sql));
    }
}

}  // namespace sandbox::tds
