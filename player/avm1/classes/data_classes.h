// The movie's data: LoadVars and loadVariables (URL-encoded variables), the loading half of XML
// (load, send, sendAndLoad, progress, onHTTPStatus), and SharedObject (saved in .sol files).
// Loads go through a data::Loader the host gives and complete on a later frame.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "avm1/machine.h"
#include "data/loader.h"

namespace quillon::player::avm1 {

// Installs LoadVars and SharedObject, and adds loading to XML.prototype when XML is there.
void InstallDataClasses(Machine& vm, Object* global);
void InstallSharedObject(Machine& vm, Object* global);

// Where loads go. Without one, relative addresses resolve against the working folder.
void SetLoader(Machine& vm, std::shared_ptr<data::Loader> loader);
// Hands finished loads to their objects (onHTTPStatus, onData; variables onto clips). Call once
// a frame, between scripts: what finished since the previous call is delivered on this one's
// successor, so nothing completes on the frame that started it.
void DeliverLoads(Machine& vm);
// A document's text from `url` for `target` (a StyleSheet, say): on a later frame its onData
// gets the text, or undefined when nothing could be read. False without an address.
bool LoadText(Machine& vm, Object* target, const Value& url);
// Whether loads are in flight or waiting for delivery.
bool LoadsPending(Machine& vm);

// loadVariables: the variables at `url` are set on `target` on a later frame, then its onData
// runs. `method` 1 (GET) or 2 (POST) sends `source`'s variables with the request.
void LoadVariables(Machine& vm, Object* target, const std::string& url, int method, Object* source);

// Shared objects are saved under `root`, in folders derived from `movieUrl` (the movie's
// address or path) as the reference player derives them. Without a store they live only as
// long as the machine and flush() fails.
void SetSharedObjectStore(Machine& vm, std::filesystem::path root, std::string movieUrl);
// Writes every shared object that holds data: the movie ends. Runs no script.
void FlushSharedObjects(Machine& vm);

// URL-encoded variables: every character but ASCII letters and digits escaped as %XX of its
// bytes; the object's enumerable properties in for..in order. Getters and toString run, and
// what they throw goes to the caller.
std::string EncodeVariables(Machine& vm, Object* obj);
// "a=1&b=2" onto `target` as strings; "+" is a space, a pair without "=" gets an empty value.
void DecodeVariables(Machine& vm, Object* target, std::string_view text);

// Text of a loaded file as the movie's strings hold it: byte-order marks honoured (UTF-8 and
// UTF-16), UTF-8 as it is, and other bytes read as Latin-1.
std::string DecodeLoadedText(std::string_view bytes);

}  // namespace quillon::player::avm1
