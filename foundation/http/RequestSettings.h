#pragma once

#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpStream.h"
#include "platform/os/TextEncoding.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

// A client certificate for https: a PEM file (certificate, chain, key or a
// separate key file) or a PKCS#12 file with its password.
struct ClientCertificateIdentity {
    std::string identityFile;
    platform::TlsSettings::IdentityFormat format = platform::TlsSettings::IdentityFormat::Pem;
    std::string keyFile;
    std::string password;
};

// Everything the owner sets on a request, as one value: copying a
// request's settings is one assignment of it.
struct RequestSettings {
    // How the exchange is carried out, never changed by the engine. A run
    // takes its own copy when the request starts (Transfer::options) and goes by
    // that; a change made while the request runs applies from its next start.
    struct Options {
        bool useHTTPVersionOne = false;
        std::optional<std::string> userAgent;
        bool allowCompressedResponse = true;
        bool shouldWaitToInflateCompressedResponses = true;
        bool validatesSecureCertificate = true;
        std::optional<ClientCertificateIdentity> clientCertificateIdentity;
        double timeOutSeconds = 10.0; // the engine default, set when the request is made
        int numberOfTimesToRetryOnTimeout = 0;
        bool shouldRedirect = true;
        bool shouldUseRFC2616RedirectBehaviour = false;
        bool useCookiePersistence = true;
        platform::StringEncoding defaultResponseEncoding = platform::kISOLatin1StringEncoding;
        bool allowResumeForFileDownloads = false;
        // The most a download to a file may come to (unset: no ceiling).
        std::optional<unsigned long long> largestFileDownload;
        bool shouldResetUploadProgress = true;
        bool shouldResetDownloadProgress = true;
    } options;

    // What is sent; the engine completes it as it builds the request.
    std::string requestMethod = "GET";
    platform::Dictionary requestHeaders;
    std::vector<platform::HttpCookie> requestCookies;
    platform::Bytes postBody;
    bool hasPostBody = false;
    std::optional<std::string> postBodyFilePath;
    bool shouldStreamPostDataFromDisk = false;
    bool shouldCompressRequestBody = false;

    // Connection and progress settings the engine also revises from what
    // it learns (a body turns reuse off, a Keep-Alive field sets the
    // lifetime, an unknown size turns accurate progress off).
    bool shouldAttemptPersistentConnection = true;
    double persistentConnectionTimeoutSeconds = 60.0;
    bool showAccurateProgress = true;
    std::optional<std::string> downloadDestinationPath;
    std::optional<std::string> temporaryFileDownloadPath;

    // Credentials, which may also arrive while the request waits for them.
    std::optional<std::string> username;
    std::optional<std::string> password;
    std::optional<std::string> authenticationScheme;
    bool shouldPresentCredentialsBeforeChallenge = true;
    std::optional<std::string> domain;
    std::optional<std::string> proxyUsername;
    std::optional<std::string> proxyPassword;
    std::optional<std::string> proxyDomain;
    bool useKeychainPersistence = false;
    bool useSessionPersistence = true;
    bool shouldPresentAuthenticationDialog = false;
    bool shouldPresentProxyAuthenticationDialog = true;

    // Proxies (a PAC script fills these in while the request starts).
    std::optional<std::string> proxyHost;
    int proxyPort = 0;
    std::optional<std::string> proxyType;
    std::optional<platform::Url> PACurl;

    // The owner's own.
    platform::Dictionary userInfo;
    int tag = 0;

    // Who hears about the request (read afresh each time it reports).
    std::weak_ptr<HTTPRequestDelegate> delegate;
    std::weak_ptr<ProgressDelegate> uploadProgressDelegate;
    std::weak_ptr<ProgressDelegate> downloadProgressDelegate;
    RequestSelector didStartSelector { &HTTPRequestDelegate::requestStarted };
    RequestSelector didFinishSelector { &HTTPRequestDelegate::requestFinished };
    RequestSelector didFailSelector { &HTTPRequestDelegate::requestFailed };
};

} // namespace foundation
