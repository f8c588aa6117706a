// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncstate.h"

#include "account.h"
#include "merge.h"
#include "storereader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace Sync {

namespace {

// Tasks are kept as store records, read by the store's own reader.
std::map<QString, Module1::Task> tasksIn(const QJsonObject &root, QLatin1String name)
{
    Module1::Records records;
    Module1::parseStore(root.value(name).toString().toUtf8(), records);
    std::map<QString, Module1::Task> byUid;
    for (Module1::Task &task : records.tasks)
        byUid[task.uid] = std::move(task);
    return byUid;
}

} // namespace

QString State::fileFor(const QString &storeFolder)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quorvi/sync/")
           + folderKey(storeFolder) + QStringLiteral(".json");
}

void State::reset(const QString &newCollection)
{
    collection = newCollection;
    ctag.clear();
    syncToken.clear();
    byUid.clear();
    asideByHref.clear();
    refusedByUid.clear();
}

bool State::load(QString *error)
{
    reset({});
    QFile file(m_file);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("%1 is damaged (%2)").arg(QDir::toNativeSeparators(m_file), parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    collection = root.value(QLatin1String("collection")).toString();
    ctag = root.value(QLatin1String("ctag")).toString();
    syncToken = root.value(QLatin1String("syncToken")).toString();
    const std::map<QString, Module1::Task> baseByUid = tasksIn(root, QLatin1String("bases"));
    const QJsonArray entries = root.value(QLatin1String("tasks")).toArray();
    for (const auto &value : entries) {
        const QJsonObject o = value.toObject();
        const QString uid = o.value(QLatin1String("uid")).toString();
        const auto base = baseByUid.find(uid);
        if (uid.isEmpty() || base == baseByUid.end())
            continue;
        Entry &entry = byUid[uid];
        entry.href = o.value(QLatin1String("href")).toString();
        entry.etag = o.value(QLatin1String("etag")).toString().toUtf8();
        entry.text = o.value(QLatin1String("text")).toString().toUtf8();
        entry.base = base->second;
    }
    loadAside(root);
    loadRefused(root);
    return true;
}

void State::loadAside(const QJsonObject &root)
{
    const QJsonArray asideEntries = root.value(QLatin1String("aside")).toArray();
    for (const auto &value : asideEntries) {
        const QJsonObject o = value.toObject();
        const QString href = o.value(QLatin1String("href")).toString();
        if (!href.isEmpty())
            asideByHref[href] = {o.value(QLatin1String("etag")).toString().toUtf8(),
                                 o.value(QLatin1String("forRoom")).toBool()};
    }
}

void State::loadRefused(const QJsonObject &root)
{
    const std::map<QString, Module1::Task> taskByUid = tasksIn(root, QLatin1String("refusedTasks"));
    const QJsonArray refusedEntries = root.value(QLatin1String("refused")).toArray();
    for (const auto &value : refusedEntries) {
        const QJsonObject o = value.toObject();
        const auto task = taskByUid.find(o.value(QLatin1String("uid")).toString());
        if (task == taskByUid.end() || task->first.isEmpty())
            continue;
        refusedByUid[task->first] = {task->second, o.value(QLatin1String("etag")).toString().toUtf8(),
                                     o.value(QLatin1String("deletion")).toBool()};
    }
}

void State::saveAsideAndRefused(QJsonObject &root) const
{
    QJsonArray aside;
    for (const auto &[href, entry] : asideByHref) {
        aside.append(QJsonObject{{QLatin1String("href"), href},
                                 {QLatin1String("etag"), QString::fromUtf8(entry.etag)},
                                 {QLatin1String("forRoom"), entry.forRoom}});
    }
    QJsonArray refused;
    std::vector<Module1::Task> tasks;
    for (const auto &[uid, refusal] : refusedByUid) {
        refused.append(QJsonObject{{QLatin1String("uid"), uid},
                                   {QLatin1String("etag"), QString::fromUtf8(refusal.etag)},
                                   {QLatin1String("deletion"), refusal.deletion}});
        tasks.push_back(refusal.task);
        tasks.back().uid = uid;
    }
    root.insert(QLatin1String("aside"), aside);
    root.insert(QLatin1String("refused"), refused);
    root.insert(QLatin1String("refusedTasks"), QString::fromUtf8(Module1::storeText(tasks, {})));
}

bool State::save(QString *error) const
{
    QJsonArray entries;
    std::vector<Module1::Task> bases;
    bases.reserve(byUid.size());
    for (const auto &[uid, entry] : byUid) {
        QJsonObject o;
        o.insert(QLatin1String("uid"), uid);
        o.insert(QLatin1String("href"), entry.href);
        o.insert(QLatin1String("etag"), QString::fromUtf8(entry.etag));
        o.insert(QLatin1String("text"), QString::fromUtf8(entry.text));
        entries.append(o);
        bases.push_back(entry.base);
        bases.back().uid = uid;
    }
    QJsonObject root;
    root.insert(QLatin1String("collection"), collection);
    root.insert(QLatin1String("ctag"), ctag);
    root.insert(QLatin1String("syncToken"), syncToken);
    root.insert(QLatin1String("bases"), QString::fromUtf8(Module1::storeText(bases, {})));
    root.insert(QLatin1String("tasks"), entries);
    saveAsideAndRefused(root);

    const QString folder = QFileInfo(m_file).path();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Sync
