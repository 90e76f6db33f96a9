#pragma once

#include <QString>
#include <QtGlobal>
#include <initializer_list>
#include <optional>
#include <vector>

// The entry points `names` of the module at `path`, in their order, loading the module the first time;
// nothing (logged under `tag`) when it does not load or lacks one. A module stays loaded: objects it made
// may outlive any owner.
std::optional<std::vector<QFunctionPointer>> loadModuleEntryPoints(const QString& tag, const QString& path,
                                                                   std::initializer_list<const char*> names);
