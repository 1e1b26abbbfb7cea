// drag_source FILE...: a window titled "drag source" whose whole area can be dragged with the
// mouse; it offers FILE... as a list of file URIs, as a file manager does. It ends when the
// drag ends: status 0 if the target took the drop, 1 if the drop failed or the target said it
// did not take it, 2 if the window was closed without a drag. It tells on stdout, a line each,
// when the drag has begun and when the window under the pointer has said it would take the files
// ("begun", "offered"), so that a test lets go of the button only then.

#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> uris;
int status = 2;

void giveUris(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer) {
    std::vector<gchar*> list;
    for (auto& uri : uris) list.push_back(uri.data());
    list.push_back(nullptr);
    gtk_selection_data_set_uris(data, list.data());
}

void tell(const char* what) {
    std::puts(what);
    std::fflush(stdout);
}

// The target's answers to the pointer's moves reach the source's context only: asked till one
// says yes.
gboolean watchAnswer(gpointer context) {
    if (gdk_drag_context_get_selected_action(GDK_DRAG_CONTEXT(context)) == 0) return TRUE;
    tell("offered");
    return FALSE;
}

void dragBegun(GtkWidget*, GdkDragContext* context, gpointer) {
    tell("begun");
    g_timeout_add_full(G_PRIORITY_DEFAULT, 10, watchAnswer, g_object_ref(context), g_object_unref);
}

gboolean dropFailed(GtkWidget*, GdkDragContext*, GtkDragResult, gpointer) {
    status = 1;
    return FALSE;
}

// A target that refuses the data still ends the drag without "drag-failed": only the context
// says whether it took the drop.
void dragEnded(GtkWidget*, GdkDragContext* context, gpointer) {
    if (status == 2) status = gdk_drag_drop_succeeded(context) ? 0 : 1;
    gtk_main_quit();
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    for (int i = 1; i < argc; ++i) {
        gchar* uri = g_filename_to_uri(argv[i], nullptr, nullptr);
        if (!uri) return 64;
        uris.emplace_back(uri);
        g_free(uri);
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "drag source");
    gtk_window_set_default_size(GTK_WINDOW(window), 160, 80);
    GtkWidget* area = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(window), area);
    gtk_drag_source_set(area, GDK_BUTTON1_MASK, nullptr, 0, GDK_ACTION_COPY);
    gtk_drag_source_add_uri_targets(area);
    g_signal_connect(area, "drag-data-get", G_CALLBACK(giveUris), nullptr);
    g_signal_connect(area, "drag-begin", G_CALLBACK(dragBegun), nullptr);
    g_signal_connect(area, "drag-failed", G_CALLBACK(dropFailed), nullptr);
    g_signal_connect(area, "drag-end", G_CALLBACK(dragEnded), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return status;
}
