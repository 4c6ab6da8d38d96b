#pragma once
// From a sentence to the URL of a search service: the query text, the two
// percent-encoders the services expect, and the URL of each service.

#include "platform/core/endpoints.h"

#include <QString>
#include <QStringView>

#include <optional>

// The selected search service (the checked item of the engine menu).
enum class SearchEngine { Baidu, Wenku, Longyuan, Zhiwang };

// Cleans a sentence into the query sent to a service: punctuation the
// services would treat as syntax becomes spaces.
QString buildQuery(const QString& sentence);

// True for a query that is not worth a search (nothing left of the sentence).
bool isSkippedQuery(const QString& query);

// Baidu's encoding: GBK bytes as %XX, a few safe ASCII characters as they are.
QString UrlEncodeGbk(QStringView text);
// CNKI's encoding: ASCII unchanged, every other UTF-16 unit as its UTF-8 bytes.
QString UrlEncodeUtf8(QStringView text);

// The query URL of `engine`, or nothing for a service without one (Longyuan),
// in which case the caller keeps the previous URL.
std::optional<QString> searchUrl(SearchEngine engine, const QString& query, const Endpoints& endpoints);
