#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace orm {

// An INI file read and written by the private-profile rules that every data
// file of the programs follows: section and key names match without regard to
// case; a missing file, section or key gives the caller's default; blanks
// around a value are dropped and one pair of enclosing quotes is removed; a
// value is at most 2047 characters; the lists of section or key names fit in
// 16 KiB. Malformed lines are passed over, never fatal.
//
// The file is read once, when the object is made. Writes change the text in
// memory; save() puts it on disk in one step (a temporary file renamed over
// the old one), so a failed or interrupted write never leaves half a file.
class IniFile {
public:
    static constexpr int kValueLimit = 2047;
    static constexpr int kNameListBytes = 16384;

    // The path is looked up without regard to letter case when it does not exist.
    explicit IniFile(const QString &path);
    static IniFile fromBytes(const QByteArray &bytes, const QString &path = {});

    const QString &path() const { return m_path; }
    bool exists() const { return m_exists; }

    QString readString(QStringView section, QStringView key, const QString &def) const;
    qint32 readInteger(QStringView section, QStringView key, qint32 def) const;
    bool readBool(QStringView section, QStringView key, bool def) const;

    QStringList sectionNames() const;
    QStringList keyNames(QStringView section) const;
    // "name=value" for every key name of the section, in file order.
    QStringList sectionValues(QStringView section) const;
    bool hasSection(QStringView section) const;

    // Writing a key creates its section (and, on save, the file). A value
    // holding a line break (or a NUL) is refused: false, and nothing changes.
    bool writeString(QStringView section, QStringView key, const QString &value);
    void writeInteger(QStringView section, QStringView key, qint32 value);
    void writeBool(QStringView section, QStringView key, bool value);

    // Throws orm::Error "Unable to write to <path>" when the file cannot be written.
    void save() const;
    QByteArray toBytes() const;

private:
    struct Key {
        QByteArray name;
        qsizetype line;
        qsizetype valueStart; // offset of the value in its line
    };
    struct Section {
        QByteArray name;
        qsizetype headerLine;
        qsizetype lastKeyLine;
        QList<Key> keys;
    };

    IniFile() = default;
    void load(const QByteArray &bytes);
    void parse();
    const Section *findSection(QStringView section) const;
    const Key *findKey(QStringView section, QStringView key) const;

    QString m_path;
    bool m_exists = false;
    bool m_byteOrderMark = false;
    QByteArray m_lineEnd = "\n";
    QList<QByteArray> m_lines;
    QList<Section> m_sections;
};

} // namespace orm
