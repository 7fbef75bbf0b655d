// Inside the module: the function table, through which the host calls the plug-in's callbacks
// and NPClass hooks by their pointers.
Module['klpTable'] = function () { return wasmTable; };
