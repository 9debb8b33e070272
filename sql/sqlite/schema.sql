-- Laboratory database tables used by Quorlix (SQLite). Only missing tables are created.
-- Time stamps are stored as local time text "yyyy-mm-dd hh:mm:ss".

CREATE TABLE IF NOT EXISTS request (
    sample_id      VARCHAR(50),
    parameter_id   INTEGER,
    analyzer_id    VARCHAR(50),
    time_stamp     DATETIME,
    result         FLOAT,
    data_alarm     VARCHAR(255),
    interpretation VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_request_sample ON request (sample_id, parameter_id);
-- Autovalidation looks for filled orders and for the ">" alarm among many open ones.
CREATE INDEX IF NOT EXISTS ix_request_filled ON request (sample_id, parameter_id) WHERE analyzer_id IS NOT NULL;
CREATE INDEX IF NOT EXISTS ix_request_alarm ON request (data_alarm);

CREATE TABLE IF NOT EXISTS req2send (
    sample_id    VARCHAR(50),
    parameter_id INTEGER
);
CREATE INDEX IF NOT EXISTS ix_req2send_sample ON req2send (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS results (
    sample_id           VARCHAR(50),
    parameter_id        INTEGER,
    result              FLOAT,
    interpretation      VARCHAR(255),
    interpretation_arab NVARCHAR(255),
    suspicious          INTEGER,
    analyzer_id         VARCHAR(50),
    meas_time_stamp     DATETIME,
    val_time_stamp      DATETIME,
    r_validator         VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_results_sample ON results (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS Raw_Results (
    sample_id    VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    time_stamp   DATETIME,
    result       FLOAT,
    data_alarm   VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_raw_results_sample ON Raw_Results (sample_id, parameter_id);

CREATE TABLE IF NOT EXISTS control_results (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    time_stamp   DATETIME,
    result       FLOAT,
    data_alarm   VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_control_results_control ON control_results (control_id, analyzer_id);

CREATE TABLE IF NOT EXISTS control_block (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_control_block ON control_block (control_id, analyzer_id);

CREATE TABLE IF NOT EXISTS control_def (
    control_id   VARCHAR(50),
    parameter_id INTEGER,
    range_low    FLOAT,
    range_high   FLOAT
);

CREATE TABLE IF NOT EXISTS control_base (
    control_id VARCHAR(50) PRIMARY KEY,
    name       VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS calibrations (
    analyzer_id VARCHAR(50),
    calib_dat   DATETIME,
    parameter_id INTEGER,
    std_count   INTEGER,
    calibalarm  VARCHAR(10),
    sd_val      VARCHAR(20),
    s11abs FLOAT, s12abs FLOAT, s11ini FLOAT, s12ini FLOAT, s1conz FLOAT, s1dataalarm VARCHAR(10), s1prozone_val VARCHAR(20),
    s21abs FLOAT, s22abs FLOAT, s21ini FLOAT, s22ini FLOAT, s2conz FLOAT, s2dataalarm VARCHAR(10), s2prozone_val VARCHAR(20),
    s31abs FLOAT, s32abs FLOAT, s31ini FLOAT, s32ini FLOAT, s3conz FLOAT, s3dataalarm VARCHAR(10), s3prozone_val VARCHAR(20),
    s41abs FLOAT, s42abs FLOAT, s41ini FLOAT, s42ini FLOAT, s4conz FLOAT, s4dataalarm VARCHAR(10), s4prozone_val VARCHAR(20),
    s51abs FLOAT, s52abs FLOAT, s51ini FLOAT, s52ini FLOAT, s5conz FLOAT, s5dataalarm VARCHAR(10), s5prozone_val VARCHAR(20),
    s61abs FLOAT, s62abs FLOAT, s61ini FLOAT, s62ini FLOAT, s6conz FLOAT, s6dataalarm VARCHAR(10), s6prozone_val VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_calibrations ON calibrations (analyzer_id, parameter_id, calib_dat);

CREATE TABLE IF NOT EXISTS calib_base (
    analyzer_id VARCHAR(50),
    param_id    INTEGER,
    stdcount    INTEGER,
    c1 FLOAT, c2 FLOAT, c3 FLOAT, c4 FLOAT, c5 FLOAT, c6 FLOAT
);

CREATE TABLE IF NOT EXISTS sample_base (
    sample_id       VARCHAR(50),
    sample_pos      INTEGER,
    sample_disc     INTEGER,
    status_1        VARCHAR(50),
    analyzer_id     VARCHAR(50),
    p_id            INTEGER,
    si_id           VARCHAR(50),
    cust_id         VARCHAR(20),
    collector       VARCHAR(50),
    coll_dat        DATETIME,
    entry_dat       DATETIME,
    last_change_dat DATETIME,
    add3            INTEGER,
    sample_mat      VARCHAR(10),
    entry_user      VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_sample_base_id ON sample_base (sample_id);
CREATE INDEX IF NOT EXISTS ix_sample_base_status ON sample_base (status_1);

CREATE TABLE IF NOT EXISTS patients (
    p_id       INTEGER PRIMARY KEY AUTOINCREMENT,
    si_id      VARCHAR(50),
    surname    VARCHAR(100),
    forename   VARCHAR(100),
    birth      DATETIME,
    entry_date DATETIME
);

CREATE TABLE IF NOT EXISTS customer (
    cust_id   VARCHAR(20),
    cust_name VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS test_def (
    parameter_id INTEGER PRIMARY KEY,
    short        VARCHAR(20),
    Long         VARCHAR(100),
    method       VARCHAR(20),
    range_low    FLOAT,
    range_high   FLOAT
);

CREATE TABLE IF NOT EXISTS param2channel (
    parameter_id INTEGER,
    analyzer_id  VARCHAR(50),
    channel_id   INTEGER,
    testiddsx    VARCHAR(20)
);
CREATE INDEX IF NOT EXISTS ix_param2channel ON param2channel (analyzer_id, channel_id);

CREATE TABLE IF NOT EXISTS validation (
    parameter_id   INTEGER,
    v_from         FLOAT,
    v_to           FLOAT,
    interpretation INTEGER,
    suspicious     INTEGER,
    nw_id          INTEGER
);

CREATE INDEX IF NOT EXISTS ix_validation_parameter ON validation (parameter_id);

CREATE TABLE IF NOT EXISTS interpretation (
    id         INTEGER PRIMARY KEY,
    value      VARCHAR(255),
    value_arab NVARCHAR(255)
);

CREATE TABLE IF NOT EXISTS analyzers (
    analyzer_id VARCHAR(50),
    com_port    INTEGER
);

CREATE TABLE IF NOT EXISTS app_protocols_testmap (
    Analyzer_id     VARCHAR(50),
    AssignedChannel INTEGER,
    TestDef_Id      INTEGER
);

CREATE TABLE IF NOT EXISTS user_base (
    userid  VARCHAR(50),
    comment VARCHAR(100)
);

CREATE TABLE IF NOT EXISTS textstrings (
    "key"   INTEGER PRIMARY KEY,
    english VARCHAR(255),
    german  VARCHAR(255)
);

CREATE TABLE IF NOT EXISTS SAMPLE_PICS (
    SAMPLE_ID  VARCHAR(50),
    SAVE_PATH  VARCHAR(500),
    USER_ID    VARCHAR(50),
    TIME_STAMP DATETIME
);

CREATE TABLE IF NOT EXISTS quorlix_log (
    time_stamp DATETIME,
    log_key    VARCHAR(50),
    log_val    VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_quorlix_log ON quorlix_log (log_key, time_stamp);
CREATE INDEX IF NOT EXISTS ix_quorlix_log_val ON quorlix_log (log_key, log_val);

-- Statistical quality control: a control's assigned target per analyzer, the Westgard rules its
-- results fired, and the periods in which a parameter's patient results are held from
-- autovalidation after a rejected control.
CREATE INDEX IF NOT EXISTS ix_control_results_series ON control_results (control_id, parameter_id, analyzer_id, time_stamp);
CREATE INDEX IF NOT EXISTS ix_control_results_run ON control_results (parameter_id, analyzer_id, time_stamp);

CREATE TABLE IF NOT EXISTS control_targets (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    mean         FLOAT NOT NULL,
    sd           FLOAT NOT NULL,
    valid_from   DATETIME NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_control_targets ON control_targets (control_id, parameter_id, analyzer_id, valid_from);

CREATE TABLE IF NOT EXISTS control_rule_events (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    time_stamp   DATETIME NOT NULL,
    rule         VARCHAR(8) NOT NULL,
    severity     VARCHAR(10) NOT NULL,
    z_score      FLOAT
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_control_rule_events ON control_rule_events (control_id, parameter_id, analyzer_id, time_stamp, rule);
CREATE INDEX IF NOT EXISTS ix_control_rule_events_time ON control_rule_events (time_stamp);

CREATE TABLE IF NOT EXISTS qc_holds (
    parameter_id INTEGER NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    held_from    DATETIME NOT NULL,
    control_id   VARCHAR(50),
    released_at  DATETIME,
    released_by  VARCHAR(50)
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_qc_holds ON qc_holds (parameter_id, analyzer_id, held_from);

-- One row per analyzer, kept by its running instance: who runs it where, since when, its last
-- heartbeat (every 3 s), the state of its lines, the last frames and what waits in its spool.
-- stopped_at is NULL while the instance runs.
CREATE TABLE IF NOT EXISTS analyzer_status (
    analyzer_id      VARCHAR(50) NOT NULL PRIMARY KEY,
    analyzer_type    VARCHAR(20),
    host_name        VARCHAR(255),
    process_id       BIGINT,
    version          VARCHAR(50),
    started_at       DATETIME,
    last_heartbeat   DATETIME,
    stopped_at       DATETIME,
    analyzer_link    VARCHAR(10),
    lims_link        VARCHAR(10),
    last_received    NVARCHAR(255),
    last_received_at DATETIME,
    last_sent        NVARCHAR(255),
    last_sent_at     DATETIME,
    spool_waiting    INTEGER,
    quarantined      INTEGER,
    last_error       NVARCHAR(255),
    last_error_at    DATETIME
);

CREATE TABLE IF NOT EXISTS MGC_Result (
    sample_id    VARCHAR(50),
    parameter_id INTEGER
);

CREATE TABLE IF NOT EXISTS MGC_SampleID (
    sample_id    VARCHAR(50),
    parameter_id INTEGER,
    sample_info  VARCHAR(50),
    send         INTEGER
);
