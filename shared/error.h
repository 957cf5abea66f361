#pragma once
#include <QString>

#include <stdexcept>

namespace orm {

// What the programs report as errors (misuse, system failures): a fixed text
// that the application's error box shows.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

} // namespace orm
