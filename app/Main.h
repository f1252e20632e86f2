// From the process's entry to its exit.
#pragma once

// Starts the runtime, runs start-up and the event loop, releases the module-level objects; returns the exit code.
int QuenletMain(int argc, char** argv);

// The program's name and icon (the About picture), for every window and message box; run right after the runtime.
void SetIdentity();
// Start-up and the event loop inside one catch-all.
void Main();
// The start-up steps, in order; callable from tests once the runtime is up.
void Startup();
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
void MakeDefaultView();
// The release of the module-level objects after the event loop.
void ReleaseModuleObjects();
