#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <vector>

namespace teaching {

// The models of a list reply, in reply order; anything else in it is skipped.
template <class T> std::vector<std::shared_ptr<T>> modelsIn(const platform::Value& reply)
{
    std::vector<std::shared_ptr<T>> models;
    if (const auto* items = reply.asArray()) {
        for (const auto& item : *items) {
            if (auto model = item.objectAs<T>())
                models.push_back(std::move(model));
        }
    }
    return models;
}

template <class T> std::vector<std::shared_ptr<platform::Object>> asObjects(const std::vector<std::shared_ptr<T>>& list)
{
    return { list.begin(), list.end() };
}

} // namespace teaching
