// The titles of a feed's items in list order: what the order tests compare.
#pragma once
#include "feeds/CFeed.h"

#include <string>
#include <vector>

using Titles_t = std::vector<std::string>;

inline Titles_t Titles(const CFeed& feed)
{
    Titles_t titles;
    for (int i = 0; i < feed.m_items.GetSize(); ++i)
        titles.push_back(feed.m_items[i].m_strTitle.GetString());
    return titles;
}
