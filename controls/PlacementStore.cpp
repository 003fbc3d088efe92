#include "controls/PlacementStore.h"

#include "platform/MachineIdentity.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <cerrno>
#include <sys/stat.h>

namespace orvex {

namespace {

// Far more than any placement file holds; a larger file is not a store this program wrote.
constexpr off_t kLargestStore = 1 << 20;

enum class StoreFile { Missing, Usable, Foreign };

// Only a regular file (or a link to one) is a store. Anything else standing at the path (a FIFO,
// whose opening would block until a writer comes, a device, a folder) holds nothing and is never
// opened or replaced. stat() does not open the file, so asking cannot block.
StoreFile storeFile(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? StoreFile::Missing : StoreFile::Foreign;
    return S_ISREG(info.st_mode) && info.st_size <= kLargestStore ? StoreFile::Usable : StoreFile::Foreign;
}

class IniPlacementStore final : public PlacementStore {
public:
    explicit IniPlacementStore(const QString& path) : path_(path) {}

    std::optional<std::string> read(const std::string& section, const std::string& name) override {
        if (storeFile(path_) != StoreFile::Usable) return std::nullopt;
        QSettings settings(path_, QSettings::IniFormat);
        // A store that cannot be read, or whose text is not an INI file, counts as holding nothing.
        if (settings.status() != QSettings::NoError) return std::nullopt;
        const QVariant value = settings.value(key(section, name));
        if (value.typeId() != QMetaType::QString) return std::nullopt;
        return value.toString().toStdString();
    }

    bool write(const std::string& section, const std::vector<formsize::NamedValue>& values) override {
        if (storeFile(path_) == StoreFile::Foreign) return false;
        // QSettings writes a new file beside the old one and renames it over it; the new file
        // takes the old one's permission bits, so a private store stays private.
        QSettings settings(path_, QSettings::IniFormat);
        for (const auto& value : values)
            settings.setValue(key(section, value.name), QString::fromStdString(value.value));
        settings.sync();
        return settings.status() == QSettings::NoError;
    }

private:
    // One INI section per section name; QSettings would read a "/" or "\" in it as a deeper level.
    static QString key(const std::string& section, const std::string& name) {
        QString group = QString::fromStdString(section);
        group.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
        return group + QLatin1Char('/') + QString::fromStdString(name);
    }

    QString path_;
};

} // namespace

std::unique_ptr<PlacementStore> openIniPlacementStore(const QString& path) {
    return std::make_unique<IniPlacementStore>(path);
}

QString registryStoreFolder() {
    return QString::fromStdString(userConfigHome()) + QStringLiteral("/orvex");
}

std::unique_ptr<PlacementStore> openRegistryPlacementStore(const std::string& keyPath) {
    const std::string file = formsize::registryKeyFile(registryStoreFolder().toStdString(), keyPath);
    if (file.empty()) return nullptr;
    return openIniPlacementStore(QString::fromStdString(file));
}

std::unique_ptr<PlacementStore> openIniFilePlacementStore(const std::string& saveName) {
    return openIniPlacementStore(
        QString::fromStdString(formsize::iniFilePath(QDir::currentPath().toStdString(), saveName)));
}

} // namespace orvex
