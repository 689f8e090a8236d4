#pragma once
// The number of files the process may hold open.

namespace vadrel {

// Raises the soft limit of open files to the hard one, so that a thousand
// network clients fit (the soft limit is often 1024). Returns the soft limit
// in force afterwards, -1 where the system has none to tell.
long raise_open_file_limit();

}  // namespace vadrel
