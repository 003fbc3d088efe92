#include "controls/PlacementStore.h"

#include "platform/MachineIdentity.h"

#include <QDir>
#include <QSettings>

namespace orvex {

namespace {

class IniPlacementStore final : public PlacementStore {
public:
    explicit IniPlacementStore(const QString& path) : path_(path) {}

    std::optional<std::string> read(const std::string& section, const std::string& name) override {
        QSettings settings(path_, QSettings::IniFormat);
        // A store that cannot be read, or whose text is not an INI file, counts as holding nothing.
        if (settings.status() != QSettings::NoError) return std::nullopt;
        const QVariant value = settings.value(key(section, name));
        if (value.typeId() != QMetaType::QString) return std::nullopt;
        return value.toString().toStdString();
    }

    bool write(const std::string& section, const std::vector<formsize::NamedValue>& values) override {
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
