int app_floor() {
    return 0;
}
